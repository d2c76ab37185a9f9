#pragma once
// The window on the stand-in of the library: a fresh set of fake cameras for every test.
#include <string>
#include <vector>

#include "tests/tool/FakeSdk.h"
#include "tests/tool/ToolTestSupport.h"

namespace lumo::tool::test {

class ToolFake : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        fake::Sdk::get().reset();
    }
    void TearDown() override {
        WindowFixture::TearDown();
        fake::Sdk::get().reset();
    }
    static fake::Camera cam(std::uint32_t rom = 65536) {
        fake::Camera c;
        c.romSize = rom;
        return c;
    }
    static std::vector<fake::Call> calls(const std::string& fn, int idx = -1) {
        return fake::Sdk::get().calls(fn, idx);
    }
};

}  // namespace lumo::tool::test
