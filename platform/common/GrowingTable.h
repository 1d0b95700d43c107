// Reading a system table whose size is known only by asking (the adapter
// table, the ARP table). The table may grow between the call that tells its
// size and the call that reads it: a hotspot start adds an address or a
// neighbour just then, and the read answers "buffer too small" again. The
// read is repeated with the size last asked for, a bounded number of times.
#pragma once

#include <functional>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

template <class Row>
class GrowingTable {
public:
    // Tries before the read gives up with the last "too small" answer.
    static constexpr int kMaxTries = 8;

    // `read(rows, &capacity)`: fills `rows` (whose size is the capacity) and
    // answers 0; or answers ERROR_BUFFER_OVERFLOW / ERROR_INSUFFICIENT_BUFFER
    // with the capacity it needs; or ERROR_NO_DATA for an empty table; or
    // another error. `rows` starts with `hint` elements.
    using Read = std::function<DWORD(std::vector<Row>* rows, ULONG* capacity)>;

    // 0 with the rows read (none for an empty table), or the error.
    static DWORD Fill(const Read& read, std::vector<Row>* rows, ULONG hint = 0) {
        rows->assign(hint, Row{});
        DWORD rc = kErrorBufferOverflow;
        for (int attempt = 0; attempt < kMaxTries; ++attempt) {
            ULONG capacity = static_cast<ULONG>(rows->size());
            rc = read(rows, &capacity);
            if (rc == 0)
                return 0;
            if (rc == kErrorNoData) {
                rows->clear();
                return 0;
            }
            if (rc != kErrorBufferOverflow && rc != kErrorInsufficientBuffer)
                return rc;
            // A size no larger than what was offered would ask the same
            // again: grow anyway.
            const ULONG offered = static_cast<ULONG>(rows->size());
            rows->assign(capacity > offered ? capacity : offered * 2 + 1, Row{});
        }
        return rc;
    }
};

}  // namespace plat
