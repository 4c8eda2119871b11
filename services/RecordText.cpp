#include "RecordText.h"

namespace
{

QString unescaped(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        // A backslash or a doubled quote stands for the character after it.
        if ((s[i] == u'\\' || s[i] == u'"') && i + 1 < s.size()) ++i;
        out += s[i];
    }
    return out;
}

} // namespace

bool RecordText::split(QStringView s, QList<std::optional<QString>>& fields)
{
    fields.clear();
    if (s.size() < 2 || s.front() != u'(' || s.back() != u')') return false;
    const qsizetype end = s.size() - 1;
    qsizetype i = 1;
    for (;;) {
        if (i < end && s[i] == u'"') {
            qsizetype j = ++i;
            bool plain = true;
            while (j < end) {
                if (s[j] == u'\\') {
                    plain = false;
                    j += 2;
                } else if (s[j] == u'"' && j + 1 < end && s[j + 1] == u'"') {
                    plain = false;
                    j += 2;
                } else if (s[j] == u'"') {
                    break;
                } else {
                    ++j;
                }
            }
            if (j >= end) return false; // no closing quote
            const QStringView inside = s.sliced(i, j - i);
            fields.append(plain ? inside.toString() : unescaped(inside));
            i = j + 1;
        } else {
            qsizetype j = i;
            while (j < end && s[j] != u',')
                ++j;
            if (j == i)
                fields.append(std::nullopt);
            else
                fields.append(s.sliced(i, j - i).toString());
            i = j;
        }
        if (i == end) return true;
        if (s[i] != u',') return false;
        ++i;
    }
}
