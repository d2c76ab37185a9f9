// Topology, node addressing, request lengths and the two routes of a request.
#include <array>

#include "tests/emu/EmuTestClient.h"

namespace lumo::os::emu::test {
namespace {

std::vector<Guid> topology(const std::shared_ptr<ICaptureFilter>& f, HRESULT* hr) {
    EXPECT_TRUE(f);
    if (!f) return {};
    std::shared_ptr<ITopologyInfo> t;
    *hr = f->QueryTopologyInfo(&t);
    std::vector<Guid> nodes;
    if (!t) return nodes;
    std::uint32_t n = 0;
    t->get_NumNodes(&n);
    for (std::uint32_t i = 0; i < n; ++i) {
        Guid g;
        t->get_NodeType(i, &g);
        nodes.push_back(g);
    }
    return nodes;
}

int firstDevSpecific(const std::vector<Guid>& nodes) {
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i] == guids::kNodeTypeDevSpecific) return static_cast<int>(i);
    return -1;
}

using EmuTransport = EmuFixture;

TEST_F(EmuTransport, TopologyPerDriverMode) {
    CameraConfig plain, encoder, maker, none;
    encoder.xu = true;
    maker.driver = DriverMode::Maker;
    none.driver = DriverMode::None;
    add(plain), add(encoder), add(maker), add(none);
    HRESULT hr = 0;
    EXPECT_EQ(firstDevSpecific(topology(filterAt(0), &hr)), 2);
    const auto enc = topology(filterAt(1), &hr);
    EXPECT_EQ(firstDevSpecific(enc), 0);
    ASSERT_GT(enc.size(), 1u);
    EXPECT_EQ(enc[1], guids::kNodeTypeDevSpecific);  // the H.264 unit
    EXPECT_EQ(firstDevSpecific(topology(filterAt(2), &hr)), -1);
    EXPECT_EQ(hr, S_OK);
    topology(filterAt(3), &hr);
    EXPECT_NE(hr, S_OK);
}

TEST_F(EmuTransport, NodeRequestMustAddressTheUnitAtItsNode) {
    CameraConfig enc;
    enc.xu = true;
    add(enc);
    Bytes v(1);
    struct Case {
        Guid unit;
        std::uint32_t node;
        bool ok;
    } cases[] = {
        {guids::kVendorXu, 0, true},
        {guids::kVendorXu, 1, false},
        {guids::kVendorXu, 2, false},
        {guids::kH264Xu, 0, false},
        {guids::kNodeTypeDevSpecific, 0, false},
    };
    for (const auto& c : cases) EXPECT_EQ(client().request(false, 0x0A, v.data(), 1, c.unit, c.node), c.ok) << c.node;
    EXPECT_EQ(cam().requests().size(), std::size(cases));
}

TEST_F(EmuTransport, EveryControlHasItsLength) {
    add(CameraConfig{});
    struct Case {
        std::uint8_t sel;
        std::uint32_t len;
    } cases[] = {
        {0x0A, 1}, {0x0C, 12}, {0x0D, 11}, {0x16, 11}, {0x06, 35},
    };
    client().set(0x06, Client::block(0x01, 0x0000));
    for (const auto& c : cases) {
        Bytes right(c.len), shorter(c.len - 1), longer(c.len + 1);
        EXPECT_TRUE(client().get(c.sel, right)) << int(c.sel);
        EXPECT_FALSE(client().get(c.sel, shorter)) << int(c.sel);
        EXPECT_FALSE(client().get(c.sel, longer)) << int(c.sel);
    }
    EXPECT_FALSE(client().set(0x0E, {0, 0}));
    EXPECT_FALSE(client().set(0x0B, {}));
}

TEST_F(EmuTransport, IdentityControls) {
    CameraConfig c;
    c.chip = "QT7421";
    c.xu = true;
    c.em = true;
    add(c);
    Bytes fw(11), ver(11), hw(1), sf(12);
    ASSERT_TRUE(client().get(0x0D, fw));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(fw.data()), 2), "ED");
    ASSERT_TRUE(client().get(0x16, ver));
    EXPECT_EQ(ver[0], 'X');
    EXPECT_EQ(ver[1], 'U');
    EXPECT_EQ(ver[4], 'E');
    EXPECT_EQ(ver[5], 'M');
    ASSERT_TRUE(client().get(0x0A, hw));
    Bytes id;
    ASSERT_TRUE(client().read(0x07, 0xFFFF, 4, &id));
    EXPECT_EQ(id, (Bytes{0x34, 0x12, 0x02, 0x01}));
    Bytes probe;
    ASSERT_TRUE(client().read(0x08, 0x0028, 1, &probe));
    EXPECT_EQ(probe[0] & 0x06, 0x04);  // QT7421: bit 1 clear, bit 2 set
}

TEST_F(EmuTransport, MakerDriverReadsDataFromBlockOffset24) {
    CameraConfig c;
    c.driver = DriverMode::Maker;
    add(c);
    auto f = filterAt();
    ASSERT_TRUE(f);
    std::shared_ptr<IKsPropertySet> ps;
    ASSERT_EQ(f->QueryPropertySet(&ps), S_OK);

    // a 59-byte block carries a 35-byte sequence request
    std::array<std::uint8_t, 59> blk{};
    blk[20] = 2;
    blk[24] = 0x82, blk[25] = 0x10, blk[26] = 0x00, blk[27] = 0xAB, blk[28] = 0xCD;
    EXPECT_EQ(ps->Set(guids::kVendorXu, 0x06, blk.data() + 24, 32, blk.data(), 59), S_OK);
    EXPECT_EQ(cam().reg(0x1000), 0xAB);
    EXPECT_EQ(cam().reg(0x1001), 0xCD);
    // a 56-byte block is too short for it
    std::array<std::uint8_t, 56> small{};
    EXPECT_NE(ps->Set(guids::kVendorXu, 0x06, small.data() + 24, 32, small.data(), 56), S_OK);
    // a one-byte control answers at offset 24 of a 56-byte block
    small.fill(0);
    small[20] = 1;
    std::uint32_t got = 0;
    ASSERT_EQ(ps->Get(guids::kVendorXu, 0x0A, small.data() + 24, 32, small.data(), 56, &got), S_OK);
    EXPECT_EQ(small[24], 0x01);
    const auto log = cam().requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].route, Route::PropertySet);
    EXPECT_EQ(log[0].propertyLength, 59u);
    EXPECT_EQ(log[0].instanceLength, 32u);
    EXPECT_EQ(log[0].data.size(), 35u);
    EXPECT_FALSE(log[1].ok);
    // and the device path does not carry node requests on that driver
    Bytes hw(1);
    EXPECT_FALSE(client().request(false, 0x0A, hw.data(), 1, guids::kVendorXu, 0));
}

TEST_F(EmuTransport, ClassDriverPropertySetDoesNotReachTheUnit) {
    add(CameraConfig{});
    auto f = filterAt();
    ASSERT_TRUE(f);
    std::shared_ptr<IKsPropertySet> ps;
    f->QueryPropertySet(&ps);
    std::array<std::uint8_t, 56> blk{};
    std::uint32_t got = 0;
    EXPECT_NE(ps->Get(guids::kVendorXu, 0x0A, blk.data() + 24, 32, blk.data(), 56, &got), S_OK);
}

TEST_F(EmuTransport, OtherVendorCameraHasNoVendorUnit) {
    CameraConfig c;
    c.chip = "other";
    add(c);
    HRESULT hr = 0;
    const int node = firstDevSpecific(topology(filterAt(0), &hr));
    ASSERT_GE(node, 0);
    Bytes v(11);
    EXPECT_FALSE(client().request(false, 0x0D, v.data(), 11, guids::kVendorXu, static_cast<std::uint32_t>(node)));
}

TEST_F(EmuTransport, ExclusiveOpenAndHeldPath) {
    add(CameraConfig{});
    std::uint32_t err = 0;
    EXPECT_EQ(world->CreateFile(cam().devicePath(), 0xC0000000, 0, 0, &err), nullptr);
    EXPECT_EQ(err, ERROR_SHARING_VIOLATION);
    client().close();
    world->holdPath(0, true);
    EXPECT_FALSE(client().open());
    EXPECT_EQ(client().lastError(), ERROR_SHARING_VIOLATION);
    world->holdPath(0, false);
    std::wstring lowerPath = cam().devicePath();
    for (auto& ch : lowerPath) ch = static_cast<wchar_t>(std::towlower(ch));
    EXPECT_NE(world->CreateFile(lowerPath, 0xC0000000, 0, 0, &err), nullptr);
    EXPECT_EQ(world->CreateFile(L"\\\\?\\USB#VID_0000&PID_0000#X", 0, 0, 0, &err), nullptr);
    EXPECT_EQ(err, ERROR_FILE_NOT_FOUND);
}

TEST_F(EmuTransport, PropertyBagAndSetupClass) {
    CameraConfig c;
    c.vid = 0x1234, c.pid = 0x5678, c.rev = 0x0101;
    c.instance = "6&1a2b3c4d&0&0000";
    add(c);
    auto m = monikerAt();
    ASSERT_TRUE(m);
    std::shared_ptr<IPropertyBag> bag;
    m->BindToStorage(&bag);
    std::wstring path, name, clsid;
    EXPECT_EQ(bag->Read(L"DevicePath", path), S_OK);
    EXPECT_EQ(bag->Read(L"FriendlyName", name), S_OK);
    EXPECT_EQ(bag->Read(L"CLSID", clsid), S_OK);
    EXPECT_NE(path.find(L"vid_1234&pid_5678&mi_00#6&1a2b3c4d&0&0000#{65e8773d"), std::wstring::npos);
    std::vector<Guid> classes;
    ASSERT_TRUE(world->SetupDiClassGuidsFromName(L"Image", &classes));
    ASSERT_EQ(classes.size(), 1u);
    std::vector<SetupDevice> devs;
    ASSERT_TRUE(world->SetupDiGetClassDevs(classes[0], 0x0A, &devs));
    ASSERT_EQ(devs.size(), 1u);
    EXPECT_EQ(devs[0].instanceId, L"USB\\VID_1234&PID_5678&MI_00\\6&1a2b3c4d&0&0000");
    EXPECT_EQ(devs[0].hardwareIds.at(0), L"USB\\VID_1234&PID_5678&REV_0101&MI_00");
}

TEST_F(EmuTransport, ProcAmpAndCameraControlValues) {
    CameraConfig c;
    c.procAmp = {{0, -10, 10, 1, 0, 2, 5}};
    add(c);
    auto f = filterAt();
    ASSERT_TRUE(f);
    std::shared_ptr<IVideoProcAmp> pa;
    ASSERT_EQ(f->QueryVideoProcAmp(&pa), S_OK);
    std::int32_t mn, mx, st, df, fl, val;
    ASSERT_EQ(pa->GetRange(0, &mn, &mx, &st, &df, &fl), S_OK);
    EXPECT_EQ(mn, -10);
    ASSERT_EQ(pa->Get(0, &val, &fl), S_OK);
    EXPECT_EQ(val, 5);
    EXPECT_NE(pa->Get(1, &val, &fl), S_OK);
    std::shared_ptr<ICameraControl> cc;
    ASSERT_EQ(f->QueryCameraControl(&cc), S_OK);
    EXPECT_EQ(cc->Get(19, &val, &fl), S_OK);
}

TEST_F(EmuTransport, PendingRequestsCompleteOrHang) {
    CameraConfig c;
    c.asyncIo = true;
    add(c);
    Bytes hw(1);
    EXPECT_TRUE(client().get(0x0A, hw));
    Faults f;
    f.hangRequest = cam().requestCount() + 1;
    cam().setFaults(f);
    const auto before = clock->nowUs();
    EXPECT_FALSE(client().get(0x0A, hw));
    EXPECT_EQ(client().lastError(), WAIT_TIMEOUT);
    EXPECT_GE(clock->nowUs() - before, 2'000'000u);  // the wait ran on the virtual clock
}

}  // namespace
}  // namespace lumo::os::emu::test
