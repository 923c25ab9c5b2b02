#pragma once
// The user-visible texts of this subsystem (log lines, error and status messages), kept in one
// place so they can be reviewed together. They are part of the interface: change none lightly.
// A "{}" stands for a value filled in by fill_text, in order.
#include <array>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kest::vpn {

namespace texts {

// Commands and their failures.
inline constexpr std::string_view disconnect_begins =
    "⏳ Полная остановка VPN и очистка системных маршрутов...";
inline constexpr std::string_view network_restored = "✅ Настройки сети успешно восстановлены.";
inline constexpr std::string_view failure_event = "❌ {}";
inline constexpr std::string_view internal_error = "внутренняя ошибка ядра: {}";
inline constexpr std::string_view unknown_cause = "неизвестная причина";
inline constexpr std::string_view panic_caught = "перехвачена паника: {}";
inline constexpr std::string_view config_rejected = "ошибка конфигурации: {}";
inline constexpr std::string_view no_admin_rights =
    "нет прав на создание VPN-туннеля. Закройте приложение и запустите его от имени "
    "администратора.";
inline constexpr std::string_view worker_refused = "поток VPN не запустился: {}";

// The engine process.
inline constexpr std::string_view engine_path_unknown = "не удалось определить путь к движку";
inline constexpr std::string_view engine_not_found = "движок не найден: {}";
inline constexpr std::string_view engine_not_started = "движок не запустился: {}";
inline constexpr std::string_view engine_no_report =
    "движок завершился, не отчитавшись о результате";
inline constexpr std::string_view engine_unreadable_report =
    "движок отдал неразборчивый отчёт ({}): {}";
inline constexpr std::string_view engine_thread_refused = "поток движка не запустился: {}";
inline constexpr std::string_view session_thread_refused = "поток сеанса не запустился: {}";
inline constexpr std::string_view tunnel_up = "✅ Туннель Kest успешно поднят.";
inline constexpr std::string_view engine_killed =
    "движок не завершился за отведённое время — убиваем";
// A child of the core that a terminate did not end: the core exits without it (its id).
inline constexpr std::string_view child_left_running =
    "процесс {} не завершился и после принудительной остановки — выходим без него";

// Server address pre-resolution: neither DNS-over-HTTPS nor the system resolver found it.
inline constexpr std::string_view preresolve_failed =
    "⚠️ Предразрешение адреса сервера не удалось"
    " — ядро попробует само.";

// Connection reset.
inline constexpr std::string_view connections_reset =
    "🔁 Сброшено соединений у приложений из правил: {}";

// Orphan clean-up.
inline constexpr std::string_view orphan_engines_ended =
    "🧹 Завершено осиротевших ядер Kest Connect: {}";
inline constexpr std::string_view foreign_engines_left =
    "ℹ️ Оставлено чужих ядер sing-box (другой VPN-клиент): {}";
inline constexpr std::string_view device_listing_failed = "⚠️ pnputil: {}";
inline constexpr std::string_view adapter_removed =
    "🧹 Снят осиротевший TUN-адаптер: {}";
inline constexpr std::string_view adapter_removal_failed =
    "⚠️ Не удалось снять адаптер {}: {}";

// Hidden tool runs: a non-zero exit code with the output, a run ended at its time limit, the
// limit's units.
inline constexpr std::string_view tool_exit_code = "код {}: {}";
inline constexpr std::string_view tool_timed_out =
    "программа не завершилась за {} и была остановлена";
inline constexpr std::string_view seconds = "{} с";
inline constexpr std::string_view milliseconds = "{} мс";

// The connect sequence.
inline constexpr std::string_view preparing_network = "⏳ Подготовка сетевой среды [Sing-box]...";
inline constexpr std::string_view config_write_failed_prefix = "Ошибка генерации конфига: ";
inline constexpr std::string_view bypass_resolver_found =
    "системный резолвер похож на локальную заглушку — direct-домены пойдут напрямую на {}";
inline constexpr std::string_view bypass_resolver_missing =
    "системный резолвер похож на локальную заглушку, но обходной DNS не найден — direct-домены "
    "пойдут через резолвер ОС";
inline constexpr std::string_view retry_adapter_busy =
    "⚠️ TUN-адаптер занят — чистим систему и "
    "пробуем ещё раз...";
inline constexpr std::string_view retry_after_failure =
    "⚠️ туннель не поднялся — убираемся и "
    "пробуем ещё раз...";
inline constexpr std::string_view system_proxy_on =
    "включён системный прокси {} — приложения пойдут через него, а не через туннель";
// Words of failures that a second start cannot mend: the share link or the configuration.
inline constexpr std::array<std::string_view, 4> unrecoverable_failure_words = {
    "не разобрать", "не поддерживается клиентом", "ошибка генерации конфига",
    "ошибка конфигурации"};

// Session supervision.
inline constexpr std::string_view restore_not_started = "уборка имён не запустилась: {}";
inline constexpr std::string_view names_restored = "имена системы возвращены после падения движка";
inline constexpr std::string_view engine_crashed =
    "🛑 Активное соединение с VPN разорвано со "
    "стороны ядра Sing-box.";
inline constexpr std::string_view probe_failed =
    "туннель поднят, но проверка через него не проходит ({})";
inline constexpr std::string_view tunnel_dead = "через туннель не идёт ничего — перечитываю конфиг";
inline constexpr std::string_view system_dns_changed =
    "системный DNS сменился ({} больше не числится) — переподнимаю туннель";

// Live configuration replacement.
inline constexpr std::string_view pinned_resolver_gone =
    "закреплённый резолвер пропал из системы — ищем заново";
inline constexpr std::string_view engine_already_stopped = "движок уже остановлен";
inline constexpr std::string_view engine_refused_command = "движок не принял команду";
inline constexpr std::string_view engine_no_reload_report = "движок не отчитался о перезагрузке";
inline constexpr std::string_view engine_stopped_during_reload =
    "движок остановился во время замены конфига";
inline constexpr std::string_view config_replaced =
    "конфиг заменён на живом туннеле, разрыва не было";
inline constexpr std::string_view replacement_failed =
    "замена конфига не удалась ({}) — поднимаем туннель заново";

} // namespace texts

// The pattern with each "{}" replaced by the next value; extra "{}" stay as they are.
inline std::string fill_text(std::string_view pattern,
                             std::initializer_list<std::string_view> values) {
    std::string out;
    auto next = values.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (next != values.end() && pattern[i] == '{' && i + 1 < pattern.size() &&
            pattern[i + 1] == '}') {
            out.append(*next++);
            ++i;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}

} // namespace kest::vpn
