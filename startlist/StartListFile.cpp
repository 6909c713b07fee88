#include "startlist/StartListFile.h"

#include "base/Files.h"
#include "base/TextRules.h"
#include "startlist/CsvStartList.h"
#include "startlist/TextEncoding.h"

bool LooksLikeXml(std::string_view bytes) {
    if (bytes.starts_with(kUtf8ByteOrderMark))
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    bytes = TrimWhiteSpace(bytes);
    return bytes.starts_with('<');
}

CStartListRead ReadStartList(std::string_view bytes, const UtcOffsetRule& utcOffset) {
    return LooksLikeXml(bytes) ? ReadIofStartList(bytes, utcOffset) : ReadCsvStartList(bytes);
}

CStartListRead ReadStartListFile(const std::string& strPath) {
    const std::optional<std::string> bytes = ReadFileBytesUpTo(strPath, kStartListLimitBytes);
    if (!bytes) {
        CStartListRead read;
        read.m_strError = PathExists(strPath) ? "the file cannot be read (not a plain file, not readable, or larger "
                                                "than " +
                                                    std::to_string(kStartListLimitBytes >> 20) + " MiB)"
                                              : "there is no such file";
        return read;
    }
    return ReadStartList(*bytes);
}
