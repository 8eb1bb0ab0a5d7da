#include "movie/Codecs.h"

std::vector<CodecInfo> OfferedCodecs() {
    return {{"", "Full Frames (Uncompressed)", false}};
}

const CodecInfo* FindOfferedCodec(const std::string& name) {
    static const std::vector<CodecInfo> codecs = OfferedCodecs();
    for (const CodecInfo& c : codecs)
        if (c.name == name)
            return &c;
    return nullptr;
}
