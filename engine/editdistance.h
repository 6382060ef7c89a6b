#ifndef ENWLINK_EDITDISTANCE_H
#define ENWLINK_EDITDISTANCE_H

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// Levenshtein distance between two byte strings: single-byte insertions,
// deletions and substitutions, each costing 1; bytes compared raw (no case
// folding, no decoding). Symmetric. Uses O(min(m, n)) memory.
int editDistance(std::string first, std::string second);

// The same distance, but only as far as `limit`: returns the distance when it
// is at most `limit`, otherwise limit + 1. Works in a band of 2 * limit + 1
// cells around the diagonal and stops as soon as a whole row exceeds `limit`.
int boundedEditDistance(const char *first, int firstLength,
                        const char *second, int secondLength, int limit);

// The bounded distance from one string to many others, a column of the table
// at a time in machine words (Myers' bit-parallel algorithm): set the first
// string once, then measure each other one against it.
class BitParallelDistance
{
public:
    void assign(const char *first, int firstLength);
    // The same as boundedEditDistance(first, firstLength, second, secondLength, limit).
    int bounded(const char *second, int secondLength, int limit) const;

private:
    int m_length = 0;
    int m_words = 0;
    std::vector<std::uint64_t> m_masks;        // per byte value, the rows that hold it, m_words each
    mutable std::vector<std::uint64_t> m_plus;  // the rows where the column steps up by one
    mutable std::vector<std::uint64_t> m_minus; // ... and down by one
};

// The bytes that the distance compares: the text in the local 8-bit encoding,
// where a character that encoding cannot spell stands as its UTF-8 bytes.
QByteArray localBytes(const QString &text);

#endif
