#pragma once
// An unbounded first-in first-out channel between threads. Senders are counted: once every
// sender is gone and the queue is empty, receiving reports the end. A send after the receiver
// is gone is dropped. Used for the event queue, command replies, engine reports and one-shot
// results.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace kest {

template <class T> class Channel {
    struct Shared {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<T> items;
        std::size_t senders = 0;
        bool receiver_alive = true;
    };

public:
    class Sender {
    public:
        Sender() = default;
        explicit Sender(std::shared_ptr<Shared> s) : s_(std::move(s)) { attach(); }
        Sender(const Sender& o) : s_(o.s_) { attach(); }
        Sender(Sender&& o) noexcept : s_(std::move(o.s_)) {}
        Sender& operator=(Sender o) noexcept {
            std::swap(s_, o.s_);
            return *this;
        }
        ~Sender() { reset(); }

        // False when the receiver is gone (the value is dropped) or the sender is empty.
        bool send(T value) const {
            if (!s_)
                return false;
            {
                std::lock_guard lock(s_->mutex);
                if (!s_->receiver_alive)
                    return false;
                s_->items.push_back(std::move(value));
            }
            s_->ready.notify_one();
            return true;
        }

        void reset() {
            if (!s_)
                return;
            bool last;
            {
                std::lock_guard lock(s_->mutex);
                last = --s_->senders == 0;
            }
            if (last)
                s_->ready.notify_all();
            s_.reset();
        }

        explicit operator bool() const { return s_ != nullptr; }

    private:
        void attach() {
            if (s_) {
                std::lock_guard lock(s_->mutex);
                ++s_->senders;
            }
        }
        std::shared_ptr<Shared> s_;
    };

    class Receiver {
    public:
        Receiver() = default;
        explicit Receiver(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
        Receiver(Receiver&&) noexcept = default;
        Receiver& operator=(Receiver&& o) noexcept {
            if (this != &o) {
                reset();
                s_ = std::move(o.s_);
            }
            return *this;
        }
        ~Receiver() { reset(); }

        // Blocks for the next value; none once every sender is gone and nothing is queued.
        std::optional<T> recv() {
            std::unique_lock lock(s_->mutex);
            s_->ready.wait(lock, [&] { return !s_->items.empty() || s_->senders == 0; });
            return pop(lock);
        }

        // As recv, but gives up at the deadline.
        std::optional<T> recv_until(std::chrono::steady_clock::time_point deadline) {
            std::unique_lock lock(s_->mutex);
            s_->ready.wait_until(lock, deadline,
                                 [&] { return !s_->items.empty() || s_->senders == 0; });
            return pop(lock);
        }

        std::optional<T> try_recv() {
            std::unique_lock lock(s_->mutex);
            return pop(lock);
        }

        // True when no sender is left and nothing is queued.
        bool closed() {
            std::lock_guard lock(s_->mutex);
            return s_->items.empty() && s_->senders == 0;
        }

        void reset() {
            if (!s_)
                return;
            {
                std::lock_guard lock(s_->mutex);
                s_->receiver_alive = false;
                s_->items.clear();
            }
            s_.reset();
        }

        explicit operator bool() const { return s_ != nullptr; }

    private:
        std::optional<T> pop(std::unique_lock<std::mutex>&) {
            if (s_->items.empty())
                return std::nullopt;
            T v = std::move(s_->items.front());
            s_->items.pop_front();
            return v;
        }
        std::shared_ptr<Shared> s_;
    };

    static std::pair<Sender, Receiver> make() {
        auto s = std::make_shared<Shared>();
        return {Sender(s), Receiver(s)};
    }
};

} // namespace kest
