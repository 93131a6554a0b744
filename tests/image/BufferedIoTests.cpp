// The buffered byte reader decoders use over the current file.
#include <doctest.h>

#include "TestPictures.h"

static Bytes Counting(size_t n)
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; i++)
        bytes[i] = static_cast<BYTE>(i * 7 + 1);
    return bytes;
}

TEST_CASE("Buffered reading needs a current file")
{
    SECDib image;
    CHECK_FALSE(image.BeginBufferedIo(16, SECImage::IO_READ));
    CHECK(image.m_pIoBuffer == nullptr);
    CHECK(image.m_dwIoSize == 0);
    BYTE b = 0;
    CHECK(image.ReadBuffered(&b, 1) == 0);
}

TEST_CASE("Byte by byte through a buffer smaller than the file, then the end")
{
    const Bytes content = Counting(10);
    CFile file(WriteTempFile("vistel-buffered.bin", content).c_str(), CFile::modeRead);
    SECDib image;
    image.m_pCurrentFile = &file;

    REQUIRE(image.BeginBufferedIo(4, SECImage::IO_READ));
    CHECK(image.m_dwIoSize == 4);
    CHECK(image.m_dwIoFill == 4); // filled at once
    CHECK(image.m_dwIoPos == 0);

    Bytes read;
    BYTE b = 0;
    for (int i = 0; i < 10; i++)
    {
        REQUIRE(image.ReadBuffered(&b, 1) == 1);
        read.push_back(b);
        if (i == 3)
        {
            // Delivering the last byte of the buffer refilled it at once.
            CHECK(image.m_dwIoPos == 0);
            CHECK(image.m_dwIoFill == 4);
            CHECK(file.GetPosition() == 8);
        }
    }
    CHECK(read == content);
    // The last refill found two bytes; delivering both refilled again and
    // found the end, so nothing is left.
    CHECK(image.ReadBuffered(&b, 1) == 0);
    CHECK(image.ReadBuffered(&b, 1) == 0);

    image.EndBufferedIo();
    CHECK(image.m_pIoBuffer == nullptr);
    CHECK(image.m_dwIoSize == 0);
    CHECK(image.m_dwIoFill == 0);
    CHECK(image.m_dwIoPos == 0);
    image.m_pCurrentFile = nullptr;
}

TEST_CASE("Larger counts are delivered across refills and come back short at the end")
{
    const Bytes content = Counting(23);
    CFile file(WriteTempFile("vistel-buffered-block.bin", content).c_str(), CFile::modeRead);
    SECDib image;
    image.m_pCurrentFile = &file;
    REQUIRE(image.BeginBufferedIo(5, SECImage::IO_READ));

    Bytes first(9), second(20, 0xEE);
    CHECK(image.ReadBuffered(first.data(), 9) == 9);
    CHECK(first == Bytes(content.begin(), content.begin() + 9));
    CHECK(image.ReadBuffered(second.data(), 20) == 14);
    CHECK(Bytes(second.begin(), second.begin() + 14) == Bytes(content.begin() + 9, content.end()));
    CHECK(second[14] == 0xEE); // nothing written past what was delivered
    image.m_pCurrentFile = nullptr;
}

TEST_CASE("Without a buffer every read goes to the file; a new buffer replaces the old one")
{
    const Bytes content = Counting(6);
    CFile file(WriteTempFile("vistel-unbuffered.bin", content).c_str(), CFile::modeRead);
    SECDib image;
    image.m_pCurrentFile = &file;
    BYTE b = 0;
    CHECK(image.ReadBuffered(&b, 1) == 1);
    CHECK(b == content[0]);

    // Writing mode sets the buffer up without reading.
    REQUIRE(image.BeginBufferedIo(8, 2));
    CHECK(image.m_dwIoFill == 0);
    CHECK(file.GetPosition() == 1);
    REQUIRE(image.BeginBufferedIo(3, SECImage::IO_READ));
    CHECK(image.m_dwIoSize == 3);
    CHECK(image.ReadBuffered(&b, 1) == 1);
    CHECK(b == content[1]);
    // Releasing the picture ends buffered reading too.
    image.ReleaseContents();
    CHECK(image.m_pIoBuffer == nullptr);
    CHECK(image.m_dwIoSize == 0);
    image.m_pCurrentFile = nullptr;
}
