#ifndef ENWLINK_HASHFILTER_H
#define ENWLINK_HASHFILTER_H

#include <QtGlobal>

#include <cstdint>
#include <vector>

// A filter in front of a table: a bit per hash, four bits per slot, a sixteenth
// of the table's size; it keeps in the cache where the table does not, and
// most names looked for are in no table.
inline void addTo(std::vector<std::uint64_t> &filter, uint hash)
{
    const size_t bit = (size_t(hash) * 0x9E3779B9u >> 7) & (filter.size() * 64 - 1); // sizes are powers of two
    filter[bit / 64] |= std::uint64_t(1) << (bit % 64);
}

inline bool mayHold(const std::vector<std::uint64_t> &filter, uint hash)
{
    const size_t bit = (size_t(hash) * 0x9E3779B9u >> 7) & (filter.size() * 64 - 1);
    return filter[bit / 64] >> (bit % 64) & 1;
}

#endif
