#include "SharedTexts.h"

#include <cstring>

namespace
{

quint64 hashOf(const char* p, int n)
{
    constexpr quint64 kMix = 0x9E3779B97F4A7C15ull;
    quint64 h = quint64(n) * kMix;
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * kMix;
        h ^= h >> 29;
    }
    if (i < n) {
        quint64 w = 0;
        for (int k = 0; i < n; ++i, k += 8)
            w |= quint64(quint8(p[i])) << k;
        h = (h ^ w) * kMix;
    }
    return h ^ (h >> 32);
}

} // namespace

SharedTexts::SharedTexts() : m_slots(new Slot[kSlots]) {}

SharedTexts::~SharedTexts() = default;

void SharedTexts::clear()
{
    for (int i = 0; i < kSlots; ++i)
        m_slots[i] = Slot();
    m_kept = 0;
}

QString SharedTexts::text(const char* utf8, int bytes, bool& found)
{
    found = false;
    if (bytes > kLongest || bytes <= 0) return QString::fromUtf8(utf8, bytes);
    // Open addressing, the next slot after a taken one.
    for (quint64 i = hashOf(utf8, bytes);; ++i) {
        Slot& s = m_slots[i & (kSlots - 1)];
        if (s.bytes == bytes && std::memcmp(s.key, utf8, size_t(bytes)) == 0) {
            found = true;
            return s.value;
        }
        if (s.bytes >= 0) continue;
        if (m_kept >= kSlots / 2) {
            clear();
            return text(utf8, bytes, found);
        }
        s.value = QString::fromUtf8(utf8, bytes);
        std::memcpy(s.key, utf8, size_t(bytes));
        s.bytes = bytes;
        ++m_kept;
        return s.value;
    }
}
