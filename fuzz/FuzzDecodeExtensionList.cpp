// The extension list decode over arbitrary payload bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "datafile/VarLengthField.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize > 0xFFFFFFFFu) return 0;
    CByteReader reader(pData, uint32_t(nSize));
    CPackageExInfoList list;
    if (list.Decode(reader) == 0) {
        if (reader.GetOffset() > nSize) __builtin_trap();
        for (uint32_t i = 0; i < list.GetCount(); ++i) {
            // The file's texts are one byte shorter than memory: always terminated.
            const CPackageExInfo& e = list[i];
            if (e.PkgName[PKG_NAME_SIZE - 1] || e.MainExe[PKG_TEXT_SIZE - 1]) __builtin_trap();
            if (e.ExtParams.GetLength() > nSize) __builtin_trap();
        }
    }
    return 0;
}
