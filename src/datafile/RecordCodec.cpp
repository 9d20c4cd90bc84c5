#include "VarLengthField.h"

int Decode(CByteReader& r, CPackageInfo& info) {
    uint8_t bType = 0;
    if (r.ReadU32(info.PkgId) || r.ReadU32(info.PkgAttr1) || r.ReadBytes(info.PkgName, 33) ||
        r.ReadBytes(info.PkgIDCClass, 65) || r.ReadU32(info.PkgLocalClass) || r.ReadBytes(info.MainExe, 65) ||
        r.ReadBytes(info.RunExe, 65) || r.ReadU32(info.PkgAttr2) || r.ReadU8(bType))
        return -1;
    info.PkgType = int8_t(bType);
    if (r.ReadU32(info.PkgIDCVer) || r.ReadU32(info.PkgNewVer) || r.ReadU32(info.PkgLocalVer) ||
        r.ReadU32(info.PkgIdxCRC) || r.ReadU32(info.PkgAttr3) || r.ReadU32(info.PkgAttr4) ||
        r.ReadU32(info.VDiskUpdateDate) || r.ReadField(info.PkgPath) || r.ReadField(info.VDiskPath) ||
        r.ReadField(info.LargeUrl) || r.ReadField(info.SmallUrl) || r.ReadU32(info.PkgExtra1) ||
        r.ReadU32(info.PkgExtra2) || r.ReadU32(info.PkgExtra3) || r.ReadU32(info.PkgExtra4) ||
        r.ReadU32(info.PkgExtra5))
        return -1;
    return 0;
}

int Decode(CByteReader& r, CPackageExInfo& exInfo) {
    uint8_t bType = 0;
    if (r.ReadU32(exInfo.PkgId) || r.ReadU32(exInfo.PkgAttr1) || r.ReadBytes(exInfo.PkgName, 32) ||
        r.ReadBytes(exInfo.PkgIDCClass, 64) || r.ReadBytes(exInfo.MainExe, 64) || r.ReadBytes(exInfo.RunExe, 64) ||
        r.ReadU32(exInfo.PkgAttr2) || r.ReadU8(bType))
        return -1;
    exInfo.PkgType = int8_t(bType);
    // In the file PkgNewVer comes before PkgExAttr, the reverse of the record's order.
    if (r.ReadU32(exInfo.PkgNewVer) || r.ReadU32(exInfo.PkgExAttr) || r.ReadU32(exInfo.PkgAttr3) ||
        r.ReadField(exInfo.ExtParams))
        return -1;
    return 0;
}
