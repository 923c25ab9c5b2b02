#include "config/services_catalog_data.h"

namespace kest::config {

// Keys and aliases are lowercase, free of "." and never shared between two services; each
// service's domains and address ranges are what routing that service needs.
std::string_view stored_services_document() {
    static constexpr std::string_view document = R"json({
  "version": 1,
  "services": [
    {
      "key": "telegram",
      "title": "Telegram",
      "aliases": [
        "телеграм",
        "телега",
        "tg"
      ],
      "domains": [
        "telegram.org",
        "t.me",
        "telegram.me",
        "telegra.ph",
        "telesco.pe",
        "tdesktop.com"
      ],
      "ip_cidrs": [
        "91.105.192.0/23",
        "91.108.4.0/22",
        "91.108.8.0/22",
        "91.108.12.0/22",
        "91.108.16.0/22",
        "91.108.20.0/22",
        "91.108.56.0/22",
        "149.154.160.0/20",
        "185.76.151.0/24"
      ],
      "rule_sets": [
        "telegram"
      ]
    },
    {
      "key": "x",
      "title": "X (Twitter)",
      "aliases": [
        "twitter",
        "твиттер",
        "икс"
      ],
      "domains": [
        "x.com",
        "twitter.com",
        "twimg.com",
        "t.co",
        "twttr.com",
        "tweetdeck.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "x",
        "twitter"
      ]
    },
    {
      "key": "youtube",
      "title": "YouTube",
      "aliases": [
        "ютуб",
        "yt"
      ],
      "domains": [
        "youtube.com",
        "youtu.be",
        "ytimg.com",
        "googlevideo.com",
        "youtube-nocookie.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "youtube",
        "google"
      ]
    },
    {
      "key": "instagram",
      "title": "Instagram",
      "aliases": [
        "инстаграм",
        "инста",
        "ig"
      ],
      "domains": [
        "instagram.com",
        "cdninstagram.com",
        "instagr.am",
        "ig.me",
        "threads.net"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "instagram",
        "facebook"
      ]
    },
    {
      "key": "facebook",
      "title": "Facebook",
      "aliases": [
        "фейсбук",
        "фб",
        "fb"
      ],
      "domains": [
        "facebook.com",
        "facebook.net",
        "fbcdn.net",
        "fb.com",
        "messenger.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "facebook"
      ]
    },
    {
      "key": "whatsapp",
      "title": "WhatsApp",
      "aliases": [
        "ватсап",
        "вотсап"
      ],
      "domains": [
        "whatsapp.com",
        "whatsapp.net",
        "wa.me"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "whatsapp",
        "facebook"
      ]
    },
    {
      "key": "discord",
      "title": "Discord",
      "aliases": [
        "дискорд"
      ],
      "domains": [
        "discord.com",
        "discord.gg",
        "discordapp.com",
        "discordapp.net",
        "discord.media"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "discord"
      ]
    },
    {
      "key": "openai",
      "title": "ChatGPT",
      "aliases": [
        "chatgpt",
        "чатгпт",
        "гпт",
        "gpt"
      ],
      "domains": [
        "openai.com",
        "chatgpt.com",
        "oaistatic.com",
        "oaiusercontent.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "openai"
      ]
    },
    {
      "key": "netflix",
      "title": "Netflix",
      "aliases": [
        "нетфликс"
      ],
      "domains": [
        "netflix.com",
        "netflix.net",
        "nflxvideo.net",
        "nflximg.net",
        "nflxext.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "netflix"
      ]
    },
    {
      "key": "spotify",
      "title": "Spotify",
      "aliases": [
        "спотифай"
      ],
      "domains": [
        "spotify.com",
        "scdn.co",
        "spotifycdn.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "spotify"
      ]
    },
    {
      "key": "tiktok",
      "title": "TikTok",
      "aliases": [
        "тикток"
      ],
      "domains": [
        "tiktok.com",
        "tiktokcdn.com",
        "tiktokv.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "tiktok"
      ]
    },
    {
      "key": "twitch",
      "title": "Twitch",
      "aliases": [
        "твич"
      ],
      "domains": [
        "twitch.tv",
        "ttvnw.net",
        "jtvnw.net"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "twitch"
      ]
    },
    {
      "key": "reddit",
      "title": "Reddit",
      "aliases": [
        "реддит"
      ],
      "domains": [
        "reddit.com",
        "redd.it",
        "redditmedia.com",
        "redditstatic.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "reddit"
      ]
    },
    {
      "key": "github",
      "title": "GitHub",
      "aliases": [
        "гитхаб"
      ],
      "domains": [
        "github.com",
        "githubusercontent.com",
        "github.io",
        "githubassets.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "github"
      ]
    },
    {
      "key": "steam",
      "title": "Steam",
      "aliases": [
        "стим"
      ],
      "domains": [
        "steampowered.com",
        "steamcommunity.com",
        "steamstatic.com",
        "steamserver.net"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "steam"
      ]
    },
    {
      "key": "signal",
      "title": "Signal",
      "aliases": [
        "сигнал"
      ],
      "domains": [
        "signal.org",
        "whispersystems.org"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "signal"
      ]
    },
    {
      "key": "linkedin",
      "title": "LinkedIn",
      "aliases": [
        "линкедин"
      ],
      "domains": [
        "linkedin.com",
        "licdn.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "linkedin"
      ]
    },
    {
      "key": "pinterest",
      "title": "Pinterest",
      "aliases": [
        "пинтерест"
      ],
      "domains": [
        "pinterest.com",
        "pinimg.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "pinterest"
      ]
    },
    {
      "key": "binance",
      "title": "Binance",
      "aliases": [
        "бинанс"
      ],
      "domains": [
        "binance.com",
        "bnbstatic.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "binance"
      ]
    },
    {
      "key": "bybit",
      "title": "Bybit",
      "aliases": [
        "байбит"
      ],
      "domains": [
        "bybit.com",
        "bybitglobal.com",
        "bycsi.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "bybit"
      ]
    },
    {
      "key": "mexc",
      "title": "MEXC",
      "aliases": [
        "мекс",
        "мексц"
      ],
      "domains": [
        "mexc.com",
        "mexc.co",
        "mexc.io"
      ],
      "ip_cidrs": []
    },
    {
      "key": "okx",
      "title": "OKX",
      "aliases": [
        "окх",
        "okex"
      ],
      "domains": [
        "okx.com",
        "okex.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "okx"
      ]
    },
    {
      "key": "claude",
      "title": "Claude",
      "aliases": [
        "клод",
        "anthropic",
        "антропик"
      ],
      "domains": [
        "claude.ai",
        "claude.com",
        "anthropic.com",
        "claudeusercontent.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "anthropic"
      ]
    },
    {
      "key": "gemini",
      "title": "Gemini",
      "aliases": [
        "джемини",
        "гемини",
        "bard",
        "бард"
      ],
      "domains": [
        "gemini.google.com",
        "bard.google.com",
        "aistudio.google.com",
        "ai.google.dev",
        "generativelanguage.googleapis.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "google"
      ]
    },
    {
      "key": "perplexity",
      "title": "Perplexity",
      "aliases": [
        "перплексити"
      ],
      "domains": [
        "perplexity.ai",
        "pplx.ai"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "perplexity"
      ]
    },
    {
      "key": "copilot",
      "title": "Microsoft Copilot",
      "aliases": [
        "копайлот",
        "копилот"
      ],
      "domains": [
        "copilot.microsoft.com",
        "sydney.bing.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "bing",
        "microsoft"
      ]
    },
    {
      "key": "midjourney",
      "title": "Midjourney",
      "aliases": [
        "мидджорни",
        "миджорни"
      ],
      "domains": [
        "midjourney.com"
      ],
      "ip_cidrs": []
    },
    {
      "key": "notion",
      "title": "Notion",
      "aliases": [
        "ноушен",
        "ноушн"
      ],
      "domains": [
        "notion.so",
        "notion.com",
        "notion.site"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "notion"
      ]
    },
    {
      "key": "figma",
      "title": "Figma",
      "aliases": [
        "фигма"
      ],
      "domains": [
        "figma.com",
        "figma.net"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "figma"
      ]
    },
    {
      "key": "slack",
      "title": "Slack",
      "aliases": [
        "слак",
        "слэк"
      ],
      "domains": [
        "slack.com",
        "slack-edge.com",
        "slack-imgs.com",
        "slack-msgs.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "slack"
      ]
    },
    {
      "key": "zoom",
      "title": "Zoom",
      "aliases": [
        "зум"
      ],
      "domains": [
        "zoom.us",
        "zoom.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "zoom"
      ]
    },
    {
      "key": "dropbox",
      "title": "Dropbox",
      "aliases": [
        "дропбокс"
      ],
      "domains": [
        "dropbox.com",
        "dropboxusercontent.com",
        "dropboxstatic.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "dropbox"
      ]
    },
    {
      "key": "roblox",
      "title": "Roblox",
      "aliases": [
        "роблокс"
      ],
      "domains": [
        "roblox.com",
        "rbxcdn.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "roblox"
      ]
    },
    {
      "key": "epicgames",
      "title": "Epic Games",
      "aliases": [
        "эпик",
        "epic",
        "fortnite",
        "фортнайт"
      ],
      "domains": [
        "epicgames.com",
        "unrealengine.com",
        "fortnite.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "epicgames"
      ]
    },
    {
      "key": "playstation",
      "title": "PlayStation",
      "aliases": [
        "плейстейшн",
        "psn",
        "sony"
      ],
      "domains": [
        "playstation.com",
        "playstation.net",
        "sonyentertainmentnetwork.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "playstation"
      ]
    },
    {
      "key": "xbox",
      "title": "Xbox",
      "aliases": [
        "иксбокс",
        "хбокс"
      ],
      "domains": [
        "xbox.com",
        "xboxlive.com",
        "xboxservices.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "xbox"
      ]
    },
    {
      "key": "vimeo",
      "title": "Vimeo",
      "aliases": [
        "вимео"
      ],
      "domains": [
        "vimeo.com",
        "vimeocdn.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "vimeo"
      ]
    },
    {
      "key": "soundcloud",
      "title": "SoundCloud",
      "aliases": [
        "саундклауд"
      ],
      "domains": [
        "soundcloud.com",
        "sndcdn.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "soundcloud"
      ]
    },
    {
      "key": "wikipedia",
      "title": "Wikipedia",
      "aliases": [
        "википедия",
        "вики",
        "wiki"
      ],
      "domains": [
        "wikipedia.org",
        "wikimedia.org",
        "wiktionary.org"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "wikimedia"
      ]
    },
    {
      "key": "tradingview",
      "title": "TradingView",
      "aliases": [
        "трейдингвью"
      ],
      "domains": [
        "tradingview.com"
      ],
      "ip_cidrs": []
    },
    {
      "key": "coinbase",
      "title": "Coinbase",
      "aliases": [
        "коинбейс",
        "койнбейс"
      ],
      "domains": [
        "coinbase.com",
        "cbhq.net"
      ],
      "ip_cidrs": []
    },
    {
      "key": "duolingo",
      "title": "Duolingo",
      "aliases": [
        "дуолинго"
      ],
      "domains": [
        "duolingo.com",
        "duocdn.com",
        "duolingo.cn"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "duolingo"
      ]
    },
    {
      "key": "viber",
      "title": "Viber",
      "aliases": [
        "вайбер"
      ],
      "domains": [
        "viber.com",
        "viber.io"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "viber"
      ]
    },
    {
      "key": "skype",
      "title": "Skype",
      "aliases": [
        "скайп"
      ],
      "domains": [
        "skype.com",
        "skypeassets.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "microsoft"
      ]
    },
    {
      "key": "proton",
      "title": "Proton",
      "aliases": [
        "протон",
        "protonmail",
        "protonvpn"
      ],
      "domains": [
        "proton.me",
        "protonmail.com",
        "protonmail.ch",
        "protonvpn.com"
      ],
      "ip_cidrs": []
    },
    {
      "key": "minecraft",
      "title": "Minecraft",
      "aliases": [
        "майнкрафт",
        "майн"
      ],
      "domains": [
        "minecraft.net",
        "mojang.com",
        "minecraftservices.com"
      ],
      "ip_cidrs": []
    },
    {
      "key": "google",
      "title": "Google",
      "aliases": [
        "гугл"
      ],
      "domains": [
        "google.com",
        "googleapis.com",
        "gstatic.com",
        "googleusercontent.com",
        "ggpht.com"
      ],
      "ip_cidrs": [],
      "rule_sets": [
        "google"
      ]
    },
    {
      "key": "adult",
      "title": "18+",
      "aliases": [
        "18+",
        "18 плюс",
        "xxx",
        "nsfw",
        "для взрослых",
        "порно",
        "porn",
        "порн",
        "секс",
        "sex",
        "взрослое",
        "эротика",
        "erotica",
        "хентай",
        "hentai",
        "pornhub",
        "порнхаб",
        "xvideos",
        "xnxx",
        "xhamster",
        "onlyfans",
        "онлифанс",
        "chaturbate",
        "redtube"
      ],
      "domains": [
        "pornhub.com",
        "phncdn.com",
        "pornhubpremium.com",
        "xvideos.com",
        "xvideos-cdn.com",
        "xnxx.com",
        "xhamster.com",
        "xhcdn.com",
        "redtube.com",
        "youporn.com",
        "tube8.com",
        "spankbang.com",
        "onlyfans.com",
        "fansly.com",
        "chaturbate.com",
        "stripchat.com",
        "bongacams.com",
        "livejasmin.com",
        "cam4.com",
        "camsoda.com",
        "myfreecams.com",
        "brazzers.com",
        "eporner.com",
        "txxx.com",
        "hclips.com",
        "porntrex.com",
        "youjizz.com",
        "tnaflix.com",
        "drtuber.com",
        "beeg.com",
        "motherless.com",
        "porn.com",
        "4tube.com",
        "manyvids.com",
        "rule34.xxx",
        "nhentai.net",
        "e-hentai.org"
      ],
      "ip_cidrs": [
        "66.254.114.0/24",
        "185.88.181.0/24",
        "216.18.168.0/24"
      ],
      "rule_sets": [
        "category-porn",
        "pornhub",
        "xvideos"
      ]
    }
  ]
})json";
    return document;
}

} // namespace kest::config
