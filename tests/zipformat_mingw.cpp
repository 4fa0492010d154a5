// Compiled by the mingw-w64 compilers (syntax only): the record layouts must
// build for the Windows extractor stub as they do here.

#include "ZipRecords.h"

int main()
{
    uint8_t bytes[zipformat::CentralHeader::kSize] = {};
    zipformat::CentralHeader header;
    header.write(bytes);
    zipformat::Zip64Values values;
    return zipformat::resolveZip64(zipformat::CentralHeader::parse(bytes), bytes, 0, &values) ? 0 : 1;
}
