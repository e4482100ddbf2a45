#pragma once

// What each engine's entity parser does with the entity text, and its limits: the one table the
// engine lint reads. Every figure says where it comes from. "GoldSrc" is the Steam engine as
// ReHLDS reproduces it without its own fixes (rehlds/engine/common.cpp COM_Parse,
// rehlds/engine/pr_edict.cpp ED_LoadFromFile, ED_ParseEdict, SuckOutClassname); "Xash" is
// Xash3D FWGS (engine/server/sv_game.c SV_LoadFromFile, SV_ParseEdict;
// public/crtlib.c COM_ParseFileSafe).

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace entorra {

enum class EngineProfile { GoldSrc, Hl25, SvenCoop, Xash };

struct EngineLimits {
    EngineProfile profile;
    std::string_view name;  // as --engine takes it

    // Edicts: base + perExtraPlayer * (players - 1); the world and one edict per player slot
    // come out of them before the map's other blocks.
    int baseEdicts;
    int edictsPerExtraPlayer;

    // The longest token the tokeniser keeps, and what becomes of the rest of a longer one:
    // read as the next token (the pairs shift) or dropped.
    std::size_t tokenBytes;
    bool tokenRestIsNextToken;

    // The longest key a block keeps, and whether trailing spaces are cut from it.
    std::size_t keyBytes;
    bool trimsKeySpaces;

    // Pairs one block may hold before the parser stops reading it; 0 for no limit.
    int pairsPerBlock;

    // The entity text size that the tools named in the table were built for; the engines
    // read any size, so going past it is information.
    std::size_t textBytes;
    std::string_view textBytesOf;  // whose figure it is, for the message

    // Targets one multi_manager keeps; the game code drops the rest.
    int multiManagerTargets;

    // Parser rules that differ between the engines.
    bool quoteEscapes;                  // \" inside a quoted string is a quote
    bool colonIsToken;                  // an unquoted ':' is a token of its own
    bool skipsPairsValuedClassname;     // a pair whose value is the block's classname is skipped
    bool stopsOnBlockWithoutClassname;  // false: such a block is dropped
    bool skipsEmptyKeysAndValues;       // a pair with an empty key or value is ignored
    // "angle" below 0: true, -1 is up, -2 down and any other "0 0 0"; false, a value whose
    // integer part is -1 is up and any other down.
    bool exactNegativeAngles;
};

// clang-format off
inline constexpr std::array<EngineLimits, 4> kEngineLimits{{
    {EngineProfile::GoldSrc, "goldsrc",
     // common.cpp COM_EntsForPlayerSlots: gmodinfo.num_edicts (900 unless liblist.gam "edicts"
     // or -num_edicts raise it) + 15 * (players - 1); ED_Alloc: "no free edicts".
     900, 15,
     // common.h com_token[COM_TOKEN_LEN = 1024]: COM_Parse stops a token at 1023 bytes and the
     // next call goes on with the rest (com_last_in_quotes_data inside quotes).
     1023, true,
     // pr_edict.cpp ED_ParseEdict: char keyname[256], cut to 255, trailing spaces removed.
     255, true,
     // ED_ParseEdict reads pairs until "}", without a count.
     0,
     // HL SDK utils/common/bspfile.h MAX_MAP_ENTSTRING (128 * 1024), Valve's compile tools;
     // model.cpp Mod_LoadEntities copies the lump whatever its length.
     128 * 1024, "Valve's compile tools write",
     // HL SDK dlls/triggers.cpp MAX_MULTI_TARGETS 16, CMultiManager::KeyValue.
     16,
     // COM_Parse: no escapes; { } ( ) ' , : are single tokens (com_ignorecolons off); ED_ParseEdict
     // skips a pair whose value equals the classname; SuckOutClassname finds no classname and
     // leaves the block unread, so ED_LoadFromFile stops on "found ... when expecting {".
     false, true, true, true, false,
     // ED_ParseEdict: value >= 0 a yaw, (int)value == -1 "-90 0 0", else "90 0 0".
     false},
    {EngineProfile::Hl25, "hl25",
     // Half-Life 25th anniversary update notes: "Increased maximum number of entities
     // (MAX_EDICTS) from 900 to 1200" (ValveSoftware/halflife issue 12; Valve Developer
     // Community, Entity limit); the player term as in goldsrc.
     1200, 15,
     // Parser as goldsrc: the update changed limits, not COM_Parse or ED_ParseEdict.
     1023, true, 255, true, 0, 128 * 1024, "Valve's compile tools write", 16,
     false, true, true, true, false, false},
    {EngineProfile::SvenCoop, "svencoop",
     // Valve Developer Community, Entity limit: "In Sven Co-op, the limit has been raised to
     // 8192", without a player term.
     8192, 0,
     // A GoldSrc engine: parser as goldsrc.
     1023, true, 255, true, 0, 128 * 1024, "Valve's compile tools write",
     // wiki.svencoop.com/Multi_manager: "max 64".
     64,
     false, true, true, true, false, false},
    {EngineProfile::Xash, "xash",
     // filesystem gameinfo: max_edicts 900 "default value if not specified" (liblist.gam
     // "edicts" changes it); sv_game.c SV_AllocEdict refuses at GI->max_edicts, players
     // included, without a player term.
     900, 0,
     // sv_game.c SV_LoadFromFile, SV_ParseEdict: char token[2048]; COM_ParseFileSafe keeps
     // 2047 bytes and drops the rest of the token.
     2047, false,
     // SV_ParseEdict: string keyname (MAX_STRING 256), Q_strncpy keeps 255; no trimming.
     255, false,
     // SV_ParseEdict: KeyValueData pkvd[256], "if( ++numpairs >= 256 ) break;" leaves the rest
     // of the block to SV_LoadFromFile, which stops on "found ... when expecting {".
     255,
     // bspfile.h MAX_MAP_ENTSTRING 0x200000, "only for displaying 'mapstats'".
     2 * 1024 * 1024, "Xash's map statistics count with",
     // The HL SDK game code, as goldsrc.
     16,
     // COM_ParseFileSafe: \" is a quote inside a string; ':' only with PFILE_HANDLECOLON, which
     // the entity parser does not pass. SV_ParseEdict: no classname skip; a block without
     // classname returns false and SV_LoadFromFile goes on; "ignore attempts to set key \"\""
     // and value "".
     true, false, false, false, true,
     // SV_ParseEdict: >= 0 a yaw, -1 "-90 0 0", -2 "90 0 0", else "0 0 0".
     true},
}};
// clang-format on

inline const EngineLimits& LimitsOf(EngineProfile profile) {
    return kEngineLimits[static_cast<std::size_t>(profile)];
}

// "goldsrc", "hl25", "svencoop" or "xash".
inline std::optional<EngineProfile> EngineProfileNamed(std::string_view name) {
    for (const EngineLimits& limits : kEngineLimits) {
        if (limits.name == name) {
            return limits.profile;
        }
    }
    return std::nullopt;
}

// The edicts the engine has for the map with this many player slots; `edicts`, when positive,
// stands for the base figure (liblist.gam "edicts", -num_edicts).
inline int EdictLimit(const EngineLimits& limits, int players, int edicts = 0) {
    const int base = edicts > 0 ? edicts : limits.baseEdicts;
    return base + limits.edictsPerExtraPlayer * (players > 1 ? players - 1 : 0);
}

}  // namespace entorra
