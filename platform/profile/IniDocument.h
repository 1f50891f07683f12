// An ini file held in its own encoding, so that an edit changes only the lines it
// touches and every other byte of the file stays as it was.
//
// Files that start with FF FE are UTF-16LE, all others UTF-8 (a UTF-8 byte order
// mark is kept). Sections and keys match without regard to case, the first match
// wins, values are trimmed of blanks and tabs, and a line may end in LF, CRLF or
// a CR alone.
// Not thread-safe; callers own one instance at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class CIniDocument {
public:
    // An empty text is an empty UTF-8 document.
    explicit CIniDocument(std::string bytes);
    ~CIniDocument();
    CIniDocument(CIniDocument&&) noexcept;
    CIniDocument& operator=(CIniDocument&&) noexcept;

    std::optional<std::wstring> Get(std::wstring_view section, std::wstring_view key) const;
    // Replaces the first matching key, or adds it at the end of the first matching
    // section, or adds the section at the end of the file.
    void Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    // Both return false when there was nothing to remove.
    bool RemoveKey(std::wstring_view section, std::wstring_view key);
    // Removes every section of that name with its lines.
    bool RemoveSection(std::wstring_view section);

    std::string Bytes() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
