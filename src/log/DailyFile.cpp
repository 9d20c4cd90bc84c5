// Daily log files and their retention. (Placeholder: the file output writes
// nothing yet; the daily-file work fills this in.)
#include "Logger.h"

void CLogger::WriteDailyFile(const SLocalTime&, const char*) {}

void CLogger::PurgeOldLogs(int) {}

const char* CLogger::GetHostModulePath(bool) { return m_szModulePath; }
