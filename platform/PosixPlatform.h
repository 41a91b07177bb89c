// The pipeline's files, memory and error texts on a POSIX system. The options
// and the log stay pure: the program that uses it (the command line tool, a
// test) says where they come from.
#pragma once

#include <string>

#include "merge/Platform.h"

struct PosixPlatform : merge::Platform {
    rw::ByteStream* OpenForReading(const char* path) override;
    void Close(rw::ByteStream* file) override;

    void MakeDirectory(const char* path) override;
    merge::OutputFile* CreateNewFile(const char* path) override;
    bool Write(merge::OutputFile* file, const void* data, uint32_t size) override;
    bool CloseOutput(merge::OutputFile* file) override;
    bool MoveFileOver(const char* from, const char* to) override;
    void RemoveFile(const char* path) override;

    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;

    std::string LastErrorText() override;

    // errno of the last failure, taken inside the failing operation: the
    // pipeline logs before it asks for the text, and logging may change errno.
    int lastError = 0;

protected:
    ~PosixPlatform() = default;
};
