// The sequence protocol on the request log: piece headers, the 16-bit address wrap of the
// register spaces, the single sequence-form sets, lengths that are refused, failures part-way.
#include "tests/device/DeviceFixture.h"

namespace lumo::test {
namespace {

struct ReadCase {
    const char* name;
    bool em;
    std::uint8_t selector;
    std::uint16_t address;
    std::uint32_t length;
    std::vector<Bytes> headers;  // the 3 header bytes of each piece
};

class SeqRead : public DeviceTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SeqRead, SendsOneSetAndOneGetPerPiece) {
    const ReadCase& c = GetParam();
    openIdentified(spiCamera(c.em));
    ASSERT_EQ(dev->m_bSeqChunkLen, c.em ? 32 : 8);
    Bytes buf(c.length, 0xEE);
    std::int32_t ok = 0;
    switch (c.selector) {
        case XU_CTRL_REG:
            ok = dev->XuRegRead(c.address, c.length, buf.data());
            break;
        case XU_CTRL_SENSOR_REG:
            ok = dev->XuSensorRegRead(c.address, c.length, buf.data());
            break;
        case XU_CTRL_MCU:
            ok = dev->XuMcuCodeRead(c.address, c.length, buf.data());
            break;
        default:
            ok = dev->XuExtRomRead(c.address, c.length, buf.data());
            break;
    }
    ASSERT_EQ(ok, 1);
    std::vector<Req> want;
    for (const auto& h : c.headers) {
        want.push_back(seqSet(c.selector, h));
        want.push_back(seqGet(c.selector));
    }
    EXPECT_EQ(log(3), want);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, SeqRead,
    ::testing::Values(
        ReadCase{"Reg20At1FFC",
                 false,
                 XU_CTRL_REG,
                 0x1FFC,
                 20,
                 {{0x08, 0x1F, 0xFC}, {0x08, 0x20, 0x04}, {0x04, 0x20, 0x0C}}},
        ReadCase{"Rom40With32BytePieces", true, XU_CTRL_EXT_ROM, 0x0100, 40, {{0x20, 0x01, 0x00}, {0x08, 0x01, 0x20}}},
        ReadCase{
            "Sensor12WrapsPastFFFF", false, XU_CTRL_SENSOR_REG, 0xFFFC, 12, {{0x08, 0xFF, 0xFC}, {0x04, 0x00, 0x04}}},
        ReadCase{"RegWrapsAtFFFC", false, XU_CTRL_REG, 0xFFFC, 12, {{0x08, 0xFF, 0xFC}, {0x04, 0x00, 0x04}}},
        ReadCase{"McuCode3", false, XU_CTRL_MCU, 0x0100, 3, {{0x43, 0x01, 0x00}}}),
    [](const auto& info) { return std::string(info.param.name); });

using SeqProtocol = DeviceTest;

TEST_F(SeqProtocol, ReadFillsTheBufferPieceByPiece) {
    openIdentified(spiCamera());
    for (std::uint16_t a = 0; a < 20; ++a)
        cam().setReg(static_cast<std::uint16_t>(0x1FFC + a), static_cast<std::uint8_t>(0x40 + a));
    Bytes buf(20, 0);
    ASSERT_EQ(dev->XuRegRead(0x1FFC, 20, buf.data()), 1);
    for (std::size_t i = 0; i < buf.size(); ++i) EXPECT_EQ(buf[i], 0x40 + i) << i;
}

TEST_F(SeqProtocol, SensorWriteIsOneSetWithTheDataFromOffsetThree) {
    openIdentified(spiCamera());
    const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(dev->XuSensorRegWrite(0x1FFC, 8, data.data()), 1);
    Bytes head = {0x88, 0x1F, 0xFC};
    head.insert(head.end(), data.begin(), data.end());
    EXPECT_EQ(log(11), std::vector<Req>{seqSet(XU_CTRL_SENSOR_REG, head)});
}

TEST_F(SeqProtocol, SingleSequenceFormSets) {
    openIdentified(spiCamera(true));  // the status control exists on "EM" controllers
    ASSERT_EQ(dev->XuExtRomErase(), 1);
    ASSERT_EQ(dev->XuSetSpiStatus(0x8C), 1);
    Bytes erase(35, 0);
    erase[0] = 0x40;
    Bytes status(35, 0);
    status[0] = 0x80;
    status[3] = 0x8C;
    EXPECT_EQ(log(), (std::vector<Req>{seqSet(XU_CTRL_EXT_ROM, erase), seqSet(XU_CTRL_SPI_STATUS, status)}));
}

TEST_F(SeqProtocol, RefusesEmptyAndOverlongTransfersWithoutARequest) {
    openIdentified(spiCamera());
    Bytes buf(8, 0);
    EXPECT_EQ(dev->XuSeqContext(XU_CTRL_REG, 0x00, 0, 0, buf.data()), 0);
    EXPECT_EQ(dev->XuSeqContext(XU_CTRL_REG, 0x80, 0, 0x10000, buf.data()), 0);
    EXPECT_EQ(dev->XuRegRead(0, 0, buf.data()), 0);
    EXPECT_TRUE(log().empty());
}

TEST_F(SeqProtocol, FailureOfTheSecondPieceKeepsTheFirstWritten) {
    openIdentified(spiCamera());
    cam().setReg(0x0208, 0x00);
    const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    failRequestAfter(2);  // the second write piece
    TraceCapture trace;
    EXPECT_EQ(dev->XuRegWrite(0x0200, 16, data.data()), 0);
    EXPECT_TRUE(trace.has("XuSeqContext(0x06) Set FAILED.XXXXXXXXXX")) << trace.text();
    EXPECT_TRUE(trace.has("XuRegWrite FAILED.XXXXXXXXXX"));
    for (std::uint16_t i = 0; i < 8; ++i) EXPECT_EQ(cam().reg(static_cast<std::uint16_t>(0x0200 + i)), data[i]);
    EXPECT_EQ(cam().reg(0x0208), 0x00);
    EXPECT_EQ(log().size(), 2u);  // nothing after the failing piece
}

TEST_F(SeqProtocol, DelayOfZeroReturnsAtOnceAndOneMillisecondSpinsOnTheCounter) {
    open(spiCamera());
    const auto t0 = clock().nowUs();
    dev->DelayMicroSeconds(0.0f);
    EXPECT_LT(clock().nowUs() - t0, 100u);
    const auto t1 = clock().nowUs();
    dev->DelayMicroSeconds(1000.0f);
    EXPECT_GE(clock().nowUs() - t1, 1000u);
}

}  // namespace
}  // namespace lumo::test
