// The trailer answer reader and the key text check on arbitrary text: 16
// bytes always, the byte text of a trailer reads back as the same bytes,
// and the access bits survive their bytes. A key accepted once is accepted
// again in its normal form, unchanged.
#include "fuzz/fuzzcheck.h"
#include "tools/cardaccess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString answer = fuzzText(data, size);
    const TrailerBytes trailer = TrailerFromAnswer(answer);
    const QString text = ByteText(trailer.data(), TrailerSize);
    check(text.size() == TrailerSize * 5 - 1);
    check(TrailerFromAnswer(text) == trailer);

    AccessBits bits;
    for (int i = 0; i < 12; ++i)
        bits.bit[i / 4][i % 4] = size > 0 && (data[0] >> (i % 8)) & 1;
    TrailerBytes withBits = trailer;
    const std::array<quint8, AccessSize> access = AccessBytes(bits);
    std::copy(access.begin(), access.end(), withBits.begin() + KeySize);
    check(AccessBitsFromTrailer(withBits) == bits);

    QString key;
    if (KeyText(answer, &key)) {
        QString again;
        check(KeyText(key, &again) && again == key && key.size() == KeySize * 5 - 1);
    }
    int block = -1;
    if (SectorTrailerBlock(answer, &block))
        check(block % 4 == 3 && block < CardBlocks);
    if (BlockNumber(answer, &block))
        check(block >= 0 && block < CardBlocks);
    return 0;
}
