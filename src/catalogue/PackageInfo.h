// The package record types: as the menu and store lists hold them
// (CPackageInfo), as the catalogue holds them (SPackageInfo), and the
// extension record (CPackageExInfo). Plain values that own their bytes.
//
// A leaf header: the record decoders below the catalogue use it too.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

// A length and an owned buffer of exactly that many bytes. A field holding a
// text holds it with one zero byte, so a length of 0 or 1 is an empty text.
//
// Fields of up to 8 bytes keep them inline, in the room the buffer pointer
// takes anyway: every default record holds four one-byte fields, and
// allocating each of them cost four heap blocks per record in every copy.
class CByteField {
public:
    CByteField() = default;  // length 0, no buffer
    ~CByteField() { Free(); }
    CByteField(const CByteField& other) { Assign(other.GetData(), other.GetLength()); }
    CByteField& operator=(const CByteField& other) {
        if (this != &other) Assign(other.GetData(), other.GetLength());
        return *this;
    }
    CByteField(CByteField&& other) noexcept { Take(other); }
    CByteField& operator=(CByteField&& other) noexcept {
        if (this != &other) {
            Free();
            Take(other);
        }
        return *this;
    }

    // Replaces the contents by a copy of n bytes (n = 0 leaves no buffer).
    // Raises std::bad_alloc; then the field is empty.
    void Assign(const void* pData, uint32_t dwLength);
    // A buffer of n bytes for the caller to fill (contents unspecified).
    uint8_t* Reset(uint32_t dwLength);
    // The text's bytes followed by one zero byte.
    void AssignText(const char* pszText, size_t nLength);

    uint32_t GetLength() const { return m_dwLength; }
    const uint8_t* GetData() const {
        return m_dwLength == 0 ? nullptr : m_dwLength <= INLINE_SIZE ? m_abInline : m_pHeap;
    }

    bool operator==(const CByteField& other) const;

private:
    static constexpr uint32_t INLINE_SIZE = sizeof(uint8_t*);

    void Free() {
        if (m_dwLength > INLINE_SIZE) delete[] m_pHeap;
        m_dwLength = 0;
    }
    void Take(CByteField& other) {
        m_dwLength = other.m_dwLength;
        if (m_dwLength > INLINE_SIZE)
            m_pHeap = other.m_pHeap;
        else
            memcpy(m_abInline, other.m_abInline, INLINE_SIZE);
        other.m_dwLength = 0;
    }

    uint32_t m_dwLength = 0;
    union {
        uint8_t* m_pHeap;
        uint8_t m_abInline[INLINE_SIZE];
    };
};

constexpr uint32_t PKG_NAME_SIZE = 33;   // 32 characters and a zero byte
constexpr uint32_t PKG_TEXT_SIZE = 65;   // 64 characters and a zero byte

class CPackageInfo {
public:
    CPackageInfo();
    // Copies every field unchanged: the text fields byte for byte.
    CPackageInfo(const CPackageInfo& other) = default;
    CPackageInfo(CPackageInfo&&) noexcept = default;
    // Copies the text fields as terminated texts (a field without a zero byte
    // loses its last character) and deep-copies the byte fields.
    CPackageInfo& operator=(const CPackageInfo& other);
    CPackageInfo& operator=(CPackageInfo&& other) { return *this = static_cast<const CPackageInfo&>(other); }
    ~CPackageInfo() = default;

    uint32_t PkgId = 0;
    uint32_t PkgAttr1 = 0;
    char PkgName[PKG_NAME_SIZE] = {};
    char PkgIDCClass[PKG_TEXT_SIZE] = {};
    uint32_t PkgLocalClass = 0;
    char MainExe[PKG_TEXT_SIZE] = {};
    char RunExe[PKG_TEXT_SIZE] = {};
    uint32_t PkgAttr2 = 0;
    int8_t PkgType = 0;
    uint32_t PkgIDCVer = 0;
    uint32_t PkgNewVer = 0;
    uint32_t PkgLocalVer = 0;
    uint32_t PkgIdxCRC = 0;
    uint32_t PkgAttr3 = 0;
    uint32_t PkgAttr4 = 0;
    uint32_t VDiskUpdateDate = 0;
    CByteField PkgPath;    // default: one zero byte
    CByteField VDiskPath;  // default: one zero byte
    CByteField LargeUrl;   // default: one zero byte
    CByteField SmallUrl;   // default: one zero byte
    uint32_t PkgExtra1 = 0;
    uint32_t PkgExtra2 = 0;
    uint32_t PkgExtra3 = 0;
    uint32_t PkgExtra4 = 0;
    uint32_t PkgExtra5 = 0;
};

// The catalogue's record: the list record plus what only the merge fills.
struct SPackageInfo : public CPackageInfo {
    SPackageInfo() = default;
    SPackageInfo(const SPackageInfo&) = default;
    SPackageInfo(SPackageInfo&&) noexcept = default;
    SPackageInfo& operator=(const SPackageInfo&) = default;  // the base part as CPackageInfo assigns
    SPackageInfo& operator=(SPackageInfo&&) = default;

    uint32_t ExtValue7 = 3;
    uint32_t ExtValue8 = 0;
    uint32_t ExtValue9 = 0;
    uint32_t ExtValue15 = 0;
    uint32_t ExtValue16 = 0;
    std::string ExtText10;
    std::string MenuMainExe;
    std::string ExtText11;
    std::string ExtText13;
    std::string ExtText14;
};

class CPackageExInfo {
public:
    uint32_t PkgId = 0;
    uint32_t PkgAttr1 = 0;
    char PkgName[PKG_NAME_SIZE] = {};
    char PkgIDCClass[PKG_TEXT_SIZE] = {};
    char MainExe[PKG_TEXT_SIZE] = {};
    char RunExe[PKG_TEXT_SIZE] = {};
    uint32_t PkgAttr2 = 0;
    int8_t PkgType = 0;
    uint32_t PkgExAttr = 0;
    uint32_t PkgNewVer = 0;
    uint32_t PkgAttr3 = 0;
    CByteField ExtParams;  // default: empty, unlike the package record's fields
};

// Copies a zero-terminated text of at most nSize - 1 characters into a field
// of nSize bytes and zero-fills the rest; the last byte is always zero.
void CopyTextField(char* pszDest, uint32_t nSize, const char* pszSource, uint32_t nSourceSize);

// Writes one Info line describing the record (the catalogue's dump line).
void DumpPkgInfo(const SPackageInfo& info);

// Copies the extension record's fields onto a catalogue record.
void ApplyExInfo(SPackageInfo& info, const CPackageExInfo& exInfo);
