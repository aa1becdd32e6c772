#pragma once
#include <QString>
#include <stdexcept>

namespace excel {

// What went wrong, for callers that react differently (a missing file is
// reported in other words than a malformed one).
enum class ErrorCode {
    FileNotFound,
    NotAWorkbook,      // not a zip package, or a part is missing or malformed
    TooLarge,          // a part's size exceeds the engine's limits
    UnknownEncoding,   // a CSV that is neither UTF-8 nor CP932
    Unsupported,       // a format or feature the engine cannot handle
    ConverterMissing,  // .xls without LibreOffice
    ImageUnreadable,
    NoWorkbook,   // an operation that needs an open workbook
    NoPresenter,  // an operation that needs the sheet window
    WriteFailed,
    BadAddress,
};

// The engine's exception: a code and a technical message in English naming
// the file, part, cell or offset concerned. Windows turn it into their text.
class Error : public std::runtime_error {
public:
    Error(ErrorCode code, const QString& message)
        : std::runtime_error(message.toStdString()), code_(code) {}
    ErrorCode code() const { return code_; }

private:
    ErrorCode code_;
};

}  // namespace excel
