#pragma once

#include <QString>
#include <memory>

// The texts read from the database, kept by their UTF-8 bytes so that a
// value read again (a seller, a place, a trucker, a silo down a list of
// loads) is the same shared string: decoded and stored once, not once a row.
// Short texts only, in a table of fixed size that is emptied when half full,
// so that what is kept never grows. Used by one thread at a time.
class SharedTexts
{
public:
    SharedTexts();
    ~SharedTexts();
    SharedTexts(const SharedTexts&) = delete;
    SharedTexts& operator=(const SharedTexts&) = delete;

    // The text of `bytes` UTF-8 bytes at `utf8`; `found` says whether it
    // was kept already.
    QString text(const char* utf8, int bytes, bool& found);

    // Forgets every text kept.
    void clear();

    // How many texts are kept.
    int size() const { return m_kept; }

private:
    // A slot is one cache line: the bytes' number, the bytes, the text.
    static constexpr int kLongest = 36;
    static constexpr int kSlots = 16384;
    struct alignas(64) Slot {
        int bytes = -1; // -1: empty
        char key[kLongest];
        QString value;
    };
    std::unique_ptr<Slot[]> m_slots;
    int m_kept = 0;
};
