#include "platform/ports/HidReportDescriptor.h"

#include <algorithm>
#include <map>

namespace zelmora::ports {

namespace {
struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};
}  // namespace

HidCaps parseReportDescriptor(const std::vector<std::uint8_t>& d) {
    // Bits per (kind, report id); kind 0 input, 1 output, 2 feature.
    std::map<std::pair<int, std::uint32_t>, std::uint64_t> bits;
    Globals g;
    std::vector<Globals> stack;
    std::size_t i = 0;
    while (i < d.size()) {
        const std::uint8_t prefix = d[i];
        if (prefix == 0xFE) {  // long item: size, tag, data
            if (i + 1 >= d.size()) break;
            i += 3 + d[i + 1];
            continue;
        }
        static constexpr int kSizes[4] = {0, 1, 2, 4};
        const int size = kSizes[prefix & 3];
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        if (i + 1 + size > d.size()) break;  // truncated: count what was complete
        std::uint32_t value = 0;
        for (int b = 0; b < size; ++b) value |= std::uint32_t(d[i + 1 + b]) << (8 * b);
        i += 1 + size;

        if (type == 0) {  // main
            int kind = -1;
            if (tag == 8) kind = 0;
            if (tag == 9) kind = 1;
            if (tag == 11) kind = 2;
            if (kind >= 0) bits[{kind, g.reportId}] += std::uint64_t(g.reportSize) * g.reportCount;
        } else if (type == 1) {  // global
            switch (tag) {
                case 7:
                    g.reportSize = value;
                    break;
                case 8:
                    g.reportId = value;
                    break;
                case 9:
                    g.reportCount = value;
                    break;
                case 10:
                    stack.push_back(g);
                    break;
                case 11:
                    if (!stack.empty()) {
                        g = stack.back();
                        stack.pop_back();
                    }
                    break;
                default:
                    break;
            }
        }
    }
    int longest[3] = {0, 0, 0};
    for (const auto& [key, n] : bits) {
        if (n == 0) continue;
        longest[key.first] = std::max(longest[key.first], int((n + 7) / 8) + 1);
    }
    return {longest[0], longest[1], longest[2]};
}

}  // namespace zelmora::ports
