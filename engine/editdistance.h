#ifndef ENWLINK_EDITDISTANCE_H
#define ENWLINK_EDITDISTANCE_H

#include <QByteArray>
#include <QString>

#include <string>

// Levenshtein distance between two byte strings: single-byte insertions,
// deletions and substitutions, each costing 1; bytes compared raw (no case
// folding, no decoding). Symmetric. Uses O(min(m, n)) memory.
int editDistance(std::string first, std::string second);

// The same distance, but only as far as `limit`: returns the distance when it
// is at most `limit`, otherwise limit + 1. Works in a band of 2 * limit + 1
// cells around the diagonal and stops as soon as a whole row exceeds `limit`.
int boundedEditDistance(const char *first, int firstLength,
                        const char *second, int secondLength, int limit);

// The bytes that the distance compares: the text in the local 8-bit encoding,
// where a character that encoding cannot spell stands as its UTF-8 bytes.
QByteArray localBytes(const QString &text);

#endif
