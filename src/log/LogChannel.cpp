// The live channel's writer. (Placeholder: the channel stays off and posts
// nothing until the shared-memory work fills this in.)
#include "LogChannel.h"

CLogChannel::~CLogChannel() {}

int CLogChannel::Open(const char*) { return 0; }

void CLogChannel::Close() {}

void CLogChannel::Post(const char*, uint32_t) {}
