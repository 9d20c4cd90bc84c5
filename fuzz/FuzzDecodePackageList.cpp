// The package list decode over arbitrary payload bytes: no crash, no read
// outside the buffer, no allocation beyond what the payload can justify.
#include <cstddef>
#include <cstdint>

#include "datafile/VarLengthField.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize > 0xFFFFFFFFu) return 0;
    CByteReader reader(pData, uint32_t(nSize));
    CPackageInfoList list;
    if (list.Decode(reader) == 0) {
        // A decoded list holds what it says and stayed inside the payload.
        if (reader.GetOffset() > nSize) __builtin_trap();
        for (uint32_t i = 0; i < list.GetCount(); ++i) {
            const CPackageInfo copy = list[i];  // the loader copies every record out
            if (copy.PkgPath.GetLength() > nSize) __builtin_trap();
        }
    }
    return 0;
}
