// A fresh directory under the system's temporary directory for one test,
// removed with all it holds (read-only leftovers included) when it goes.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/OsSystem.h"

namespace halvextest {

// The core's backslash form of a native path.
inline std::string ToCorePath(const std::string& strNative) {
    std::string str = strNative;
    for (char& c : str)
        if (c == '/') c = '\\';
    return str;
}

class CTempDir {
public:
    explicit CTempDir(const char* pszTag = "halvex") {
        static unsigned s_nNext = 0;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (;;) {
            m_native = base / (std::string(pszTag) + "-" + std::to_string(OsGetCurrentProcessId()) + "-" +
                               std::to_string(s_nNext++));
            std::error_code ec;
            if (std::filesystem::create_directory(m_native, ec)) break;
        }
    }
    ~CTempDir() {
        std::error_code ec;
        // Read-only leftovers must not survive: give every entry its owner write bit back.
        for (auto it = std::filesystem::recursive_directory_iterator(m_native, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_native, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Root() const { return m_native; }
    // The core's form of a path inside the directory.
    std::string Path(const std::string& strName) const { return ToCore(m_native / strName); }
    std::string Dir() const { return ToCore(m_native); }
    std::filesystem::path Native(const std::string& strName) const { return m_native / strName; }

    static std::string ToCore(const std::filesystem::path& path) { return ToCorePath(path.string()); }

private:
    std::filesystem::path m_native;
};

}  // namespace halvextest
