#include "music/stream.h"

namespace music {

namespace {

StreamOps installed;

}  // namespace

void RegisterStreamOps(StreamOpenOp open, StreamCloseOp close, StreamReadOp read, StreamSeekOp seek,
                       StreamTellOp tell) {
    if (open && close && read && seek && tell) {
        installed = {open, close, read, seek, tell};
    } else {
        // A partial table would let a caller open a stream it cannot close or
        // read; the sound device refuses to open on an empty table instead.
        installed = {};
    }
}

const StreamOps& InstalledStreamOps() { return installed; }

bool StreamOpsInstalled() { return installed.open != nullptr; }

ModuleStream* OpenModuleStream(const char* name) {
    if (!StreamOpsInstalled()) return nullptr;
    auto* stream = new ModuleStream;
    stream->source = installed.open(name);
    if (!stream->source) {
        delete stream;
        return nullptr;
    }
    return stream;
}

void CloseModuleStream(ModuleStream* stream) {
    if (!stream) return;
    if (installed.close) installed.close(stream->source);
    delete stream;
}

std::int32_t StreamRead(void* destination, std::int32_t count, ModuleStream* stream) {
    if (!stream || !installed.read) return 0;
    return installed.read(destination, count, stream->source);
}

void StreamSeek(ModuleStream* stream, std::int32_t offset, std::uint8_t origin) {
    if (!stream || !installed.seek) return;
    installed.seek(stream->source, offset, origin);
}

std::int32_t StreamTell(ModuleStream* stream) {
    if (!stream || !installed.tell) return 0;
    return installed.tell(stream->source);
}

}  // namespace music
