#pragma once

// The Jet library's handle and table definition, each freed by its owner.
// Only the reader process's library (malvorn_jet_mdb) uses it.
#include <glib.h>  // mdbtools.h includes it inside extern "C"; it must come first

#include <mdbtools.h>

#include <memory>

namespace malvorn::jet {

struct HandleCloser {
    void operator()(MdbHandle* handle) const { mdb_close(handle); }
};
using HandlePtr = std::unique_ptr<MdbHandle, HandleCloser>;

struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using TablePtr = std::unique_ptr<MdbTableDef, TableFreer>;

}  // namespace malvorn::jet
