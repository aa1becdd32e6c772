#pragma once
// The first page of an Access file: which engine wrote it and its page size.
#include <QByteArray>

#include "accessfile/AccessFile.h"

namespace accessfile::detail {

struct HeaderInfo {
    Format format = Format::NotAccess;
    int version = 0;   // the version byte at 0x14
    int pageSize = 0;  // 2048 for Jet 3, 4096 from Jet 4 on
};

HeaderInfo readHeader(const QByteArray& head);

}  // namespace accessfile::detail
