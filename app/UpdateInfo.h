// The update-text parser: a list of version blocks, each with items "-key:value", from
// which an updater picks the newest version that applies to it.
//
//   1.2.3 -size:1024 -url:http://host/a.7z win -sha1:<40 hex> mac -url:http://host/b.7z
//   1.2.4.7 -min:1 win -url:http://host/c.7z -reqscriptver:2.0.0
//
// A block is a version line ("a.b.c" or "a.b.c.d"), items for every reader, then selector
// groups: a word and its items. Only the group whose word matches the parser's selector
// (without case, over the word's length) applies to the record; a block without one is
// dropped. Blocks must come in strictly rising versions. Tokens end at white space.
//
// Owned by one thread at a time; nothing here blocks or calls out. Parse never throws:
// malformed text, a rejected item or an unexpected value type ends it with false.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/VersionTriple.h"
#include "commonlib/core/ProtoValue.h"

class CParserBase {
public:
    virtual ~CParserBase();

    // Empties the result.
    virtual void Clear();
    virtual bool Parse(std::string_view text) = 0;
    // `value` is absent for an item written without ":".
    virtual bool ParseItem(std::string_view key, std::optional<std::string_view> value, ProtoValue& record) = 0;
    virtual bool IsValid(const ProtoValue& record) const = 0;

    // The records of the blocks newer than the current version, oldest first.
    const ProtoValue& Result() const { return m_result; }

protected:
    ProtoValue m_result;
};

class CUpdateInfo : public CParserBase {
public:
    CUpdateInfo();
    ~CUpdateInfo() override;

    // Forgets every record and outcome of an earlier parse.
    void Clear() override;
    // `text` is UTF-8, optionally with a byte order mark.
    bool Parse(std::string_view text) override;
    bool ParseItem(std::string_view key, std::optional<std::string_view> value, ProtoValue& record) override;
    // False without "url" and "urllist" (while URLs are required), else whether "version" is set.
    bool IsValid(const ProtoValue& record) const override;
    // "url" and "version" both set.
    bool IsValidShort(const ProtoValue& record) const;

    // What the owner tells the parser before a parse.
    void SetCurrentVersion(VersionTriple version) { m_currentVersion = version; }
    void SetScriptVersion(VersionTriple version) { m_scriptVersion = version; }
    void SetSelector(std::string selector) { m_selector = std::move(selector); }

    // Blocks that are not newer, or newer than a block that asks for a reboot.
    const ProtoValue& OtherRecords() const { return m_otherRecords; }
    // The version to update to: the last block read, or the current version when no block
    // is newer.
    VersionTriple BestVersion() const { return m_bestVersion; }
    VersionTriple LastBlockVersion() const { return m_lastBlockVersion; }
    // The highest block marked "-min:1": a client below it must update.
    VersionTriple MinVersion() const { return m_minVersion; }
    const std::wstring& PatchUrl() const { return m_patchUrl; }

    // Outcome of the pass over the newer records (newest first): the update installs
    // silently only when every step does; it is forced unless every step says "noforce";
    // it is a staged ("gray") release when the newest step says so; the pre-download
    // text is the newest step's.
    bool IsSilent() const { return m_silent; }
    bool IsForced() const { return m_forced; }
    bool IsGray() const { return m_gray; }
    const std::wstring& PreDownload() const { return m_preDownload; }

private:
    class Lexer;

    bool ParseBlocks(std::string_view text);
    // Reads the items at the lexer; applies them to `record` unless it is null.
    bool ReadItems(Lexer& lexer, ProtoValue* record);
    bool SelectorMatches(std::string_view word) const;
    void EvaluateNewerRecords();

    ProtoValue m_otherRecords;
    ProtoValue m_record;  // the block in hand
    std::wstring m_patchUrl;
    VersionTriple m_currentVersion;
    VersionTriple m_scriptVersion;
    std::string m_selector;
    VersionTriple m_bestVersion;
    VersionTriple m_lastBlockVersion;
    VersionTriple m_minVersion;
    bool m_requireUrl = true;
    std::int64_t m_rebootSeen = 0;
    bool m_silent = false;
    bool m_forced = false;
    bool m_gray = false;
    std::wstring m_preDownload;
};
