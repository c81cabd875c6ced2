#include "tools/songreport/json_writer.h"

namespace songreport {

void JsonWriter::Newline() {
    std::fputc('\n', out_);
    for (std::size_t i = 0; i < open_.size(); ++i) std::fputs("  ", out_);
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (open_.empty()) return;
    Open& open = open_.back();
    if (open.hasItems) std::fputc(',', out_);
    if (open.inlineItems) {
        if (open.hasItems) std::fputc(' ', out_);
    } else {
        Newline();
    }
    open.hasItems = true;
}

void JsonWriter::Key(std::string_view key) {
    BeforeValue();
    WriteString(key);
    std::fputs(": ", out_);
    afterKey_ = true;
}

void JsonWriter::BeginObject() {
    BeforeValue();
    std::fputc('{', out_);
    open_.push_back({});
}

void JsonWriter::EndObject() {
    const bool items = open_.back().hasItems;
    open_.pop_back();
    if (items) Newline();
    std::fputc('}', out_);
}

void JsonWriter::BeginArray(bool inlineItems) {
    BeforeValue();
    std::fputc('[', out_);
    open_.push_back({false, inlineItems});
}

void JsonWriter::EndArray() {
    const Open open = open_.back();
    open_.pop_back();
    if (open.hasItems && !open.inlineItems) Newline();
    std::fputc(']', out_);
}

void JsonWriter::String(std::string_view value) {
    BeforeValue();
    WriteString(value);
}

void JsonWriter::Int(std::int64_t value) {
    BeforeValue();
    std::fprintf(out_, "%lld", static_cast<long long>(value));
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    std::fputs(value ? "true" : "false", out_);
}

void JsonWriter::Finish() { std::fputc('\n', out_); }

void JsonWriter::WriteString(std::string_view text) {
    std::fputc('"', out_);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': std::fputs("\\\"", out_); break;
            case '\\': std::fputs("\\\\", out_); break;
            case '\n': std::fputs("\\n", out_); break;
            case '\t': std::fputs("\\t", out_); break;
            case '\r': std::fputs("\\r", out_); break;
            default:
                if (c < 0x20) {
                    std::fprintf(out_, "\\u%04x", c);
                } else {
                    std::fputc(c, out_);
                }
        }
    }
    std::fputc('"', out_);
}

}  // namespace songreport
