#include "platform/PlistNesting.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvela {

bool xmlPlistNestingWithin(std::string_view s, std::size_t maxDepth) {
    std::size_t depth = 0;
    std::size_t i = 0;
    auto skipPast = [&](std::string_view end) {
        auto at = s.find(end, i);
        i = at == std::string_view::npos ? s.size() : at + end.size();
    };
    while ((i = s.find('<', i)) != std::string_view::npos) {
        auto rest = s.substr(i);
        if (rest.starts_with("<!--")) skipPast("-->");
        else if (rest.starts_with("<![CDATA[")) skipPast("]]>");
        else if (rest.starts_with("<?") || rest.starts_with("<!")) skipPast(">");
        else {
            bool closing = rest.starts_with("</");
            auto name = rest.substr(closing ? 2 : 1);
            bool container = name.starts_with("array") || name.starts_with("dict");
            auto end = s.find('>', i);
            if (end == std::string_view::npos) return true;  // unterminated: the parser rejects it
            bool selfClosing = end > i && s[end - 1] == '/';
            if (container && !selfClosing) {
                if (closing) depth = depth > 0 ? depth - 1 : 0;
                else if (++depth > maxDepth) return false;
            }
            i = end + 1;
        }
    }
    return true;
}

namespace {

class BinaryWalker {
public:
    explicit BinaryWalker(std::string_view s) : s_(s) {}

    bool within(std::size_t maxDepth) {
        if (s_.size() < 8 + 32) return true;  // too short to nest; the parser judges it
        auto trailer = s_.substr(s_.size() - 32);
        offsetSize_ = static_cast<unsigned char>(trailer[6]);
        refSize_ = static_cast<unsigned char>(trailer[7]);
        auto count = readBigEndian(s_.size() - 24, 8);
        auto top = readBigEndian(s_.size() - 16, 8);
        auto table = readBigEndian(s_.size() - 8, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8 || !count || !top || !table ||
            *count == 0 || *top >= *count || *count > s_.size() || *table > s_.size() ||
            *count * offsetSize_ > s_.size() - *table)
            return false;
        count_ = *count;
        table_ = *table;
        // Depth of each object, computed bottom-up without recursion.
        // 0: not seen, kOnPath: being walked (seeing it again is a cycle).
        depth_.assign(count_, 0);
        struct Frame {
            std::uint64_t object;
            std::vector<std::uint64_t> children;
            std::size_t next = 0;
            std::size_t deepest = 0;
        };
        std::vector<Frame> path;
        auto enter = [&](std::uint64_t object) -> bool {
            auto children = childrenOf(object);
            if (!children) return false;
            depth_[object] = kOnPath;
            path.push_back(Frame{object, std::move(*children)});
            return path.size() <= maxDepth;
        };
        if (!enter(*top)) return false;
        while (!path.empty()) {
            auto& frame = path.back();
            if (frame.next == frame.children.size()) {
                std::size_t depth = frame.deepest + 1;
                depth_[frame.object] = depth;
                path.pop_back();
                if (!path.empty() && depth > path.back().deepest) path.back().deepest = depth;
                continue;
            }
            auto child = frame.children[frame.next++];
            if (child >= count_ || depth_[child] == kOnPath) return false;
            if (depth_[child] != 0) {
                frame.deepest = std::max(frame.deepest, depth_[child]);
                continue;
            }
            if (!enter(child)) return false;
        }
        return true;
    }

private:
    static constexpr std::size_t kOnPath = static_cast<std::size_t>(-1);

    std::optional<std::uint64_t> readBigEndian(std::uint64_t at, std::size_t width) const {
        if (at > s_.size() || width > s_.size() - at) return std::nullopt;
        std::uint64_t v = 0;
        for (std::size_t k = 0; k < width; ++k) v = v << 8 | static_cast<unsigned char>(s_[at + k]);
        return v;
    }

    // The objects an array, set or dictionary refers to; none for scalars.
    std::optional<std::vector<std::uint64_t>> childrenOf(std::uint64_t object) const {
        auto offset = readBigEndian(table_ + object * offsetSize_, offsetSize_);
        if (!offset || *offset >= s_.size()) return std::nullopt;
        auto marker = static_cast<unsigned char>(s_[*offset]);
        unsigned kind = marker >> 4;
        if (kind != 0xA && kind != 0xB && kind != 0xC && kind != 0xD) return std::vector<std::uint64_t>{};
        std::uint64_t at = *offset + 1;
        std::uint64_t length = marker & 0x0F;
        if (length == 0x0F) {
            if (at >= s_.size()) return std::nullopt;
            auto intMarker = static_cast<unsigned char>(s_[at]);
            if ((intMarker >> 4) != 0x1 || (intMarker & 0x0F) > 3) return std::nullopt;
            auto value = readBigEndian(at + 1, std::size_t{1} << (intMarker & 0x0F));
            if (!value) return std::nullopt;
            length = *value;
            at += 1 + (std::uint64_t{1} << (intMarker & 0x0F));
        }
        std::uint64_t refs = kind == 0xD ? length * 2 : length;
        if (length > s_.size() || refs * refSize_ > s_.size() - std::min<std::uint64_t>(at, s_.size()))
            return std::nullopt;
        std::vector<std::uint64_t> children;
        children.reserve(refs);
        for (std::uint64_t k = 0; k < refs; ++k) {
            auto ref = readBigEndian(at + k * refSize_, refSize_);
            if (!ref) return std::nullopt;
            children.push_back(*ref);
        }
        return children;
    }

    std::string_view s_;
    std::size_t offsetSize_ = 0;
    std::size_t refSize_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t table_ = 0;
    std::vector<std::size_t> depth_;
};

}  // namespace

bool binaryPlistNestingWithin(std::string_view bytes, std::size_t maxDepth) {
    return BinaryWalker(bytes).within(maxDepth);
}

}  // namespace quorvela
