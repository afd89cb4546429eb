#pragma once

// The file bytes of an attachment as the engine stores them in its flat
// table's FileData column, and the flat table's rows with those bytes
// unpacked. Reader process only: it links zlib and runs under the reader's
// limits, so a damaged stream cannot hurt the program.
#include <memory>
#include <string>

#include "jet/jet_source.h"

namespace malvorn::jet {

// The attached file's bytes from a stored FileData value: a u32 flag (1 when
// the rest is a zlib stream), the u32 length once inflated, then the data,
// itself a u32 header length (counting the extension), a u32 version, the
// u32 extension length in characters (NUL included), the extension (UTF-16)
// and the file. Throws JetError
// (kDamaged, naming `table`) for a stream that does not inflate to the
// length it records or a header that does not fit.
std::string attachmentFileBytes(const std::string& stored, const std::string& table);

// The rows of `rows` (an engine flat table named `table`), with a column
// named FileData given as the attached file's bytes.
std::unique_ptr<JetRowCursor> withAttachmentFiles(std::unique_ptr<JetRowCursor> rows,
                                                  const std::string& table);

}  // namespace malvorn::jet
