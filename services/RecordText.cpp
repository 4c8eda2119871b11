#include "RecordText.h"

QString RecordText::value(const Field& f)
{
    if (!f.escaped) return f.written.toString();
    const QStringView s = f.written;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        // A backslash or a doubled quote stands for the character after it.
        if ((s[i] == u'\\' || s[i] == u'"') && i + 1 < s.size()) ++i;
        out += s[i];
    }
    return out;
}

bool RecordText::split(QStringView s, QList<Field>& fields)
{
    fields.clear();
    if (s.size() < 2 || s.front() != u'(' || s.back() != u')') return false;
    const qsizetype end = s.size() - 1;
    const QStringView body = s.first(end); // the searches stop before the ')'
    const bool backslashes = body.contains(u'\\');
    qsizetype i = 1;
    for (;;) {
        Field f;
        if (i < end && s[i] == u'"') {
            qsizetype j = ++i;
            for (;;) {
                const qsizetype q = body.indexOf(u'"', j);
                if (q < 0) return false; // no closing quote
                if (backslashes) {
                    const qsizetype b = body.sliced(j, q - j).indexOf(u'\\');
                    if (b >= 0) {
                        f.escaped = true;
                        j += b + 2; // the backslash and what it stands for
                        if (j > end) return false;
                        continue;
                    }
                }
                if (q + 1 < end && s[q + 1] == u'"') {
                    f.escaped = true;
                    j = q + 2;
                    continue;
                }
                f.written = s.sliced(i, q - i);
                i = q + 1;
                break;
            }
        } else {
            qsizetype j = body.indexOf(u',', i);
            if (j < 0) j = end;
            f.null = j == i;
            f.written = s.sliced(i, j - i);
            i = j;
        }
        fields.append(f);
        if (i == end) return true;
        if (s[i] != u',') return false;
        ++i;
    }
}
