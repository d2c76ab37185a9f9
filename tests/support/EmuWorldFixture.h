#pragma once
// A fixture that installs an emulated world of its own, on a virtual clock, for each test and
// takes both down afterwards. Fixtures that hold cameras of the world release them in their
// own TearDown before calling this one's.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "platform/emu/VirtualClock.h"

namespace lumo::testsupport {

class EmuWorldFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_clock = os::emu::VirtualClock::install();
        m_world = std::make_shared<os::emu::EmuWorld>();
        os::installDeviceWorld(m_world);
    }
    void TearDown() override {
        os::installDeviceWorld(nullptr);
        m_world.reset();
        os::installClock(nullptr);
    }
    // Adds a camera named "camera N" (N counts from 1) with the given chip and instance.
    std::size_t add(const std::string& chip = "QT7421", const std::string& instance = {}) {
        os::emu::CameraConfig c;
        c.chip = chip;
        c.name = "camera " + std::to_string(m_world->cameraCount() + 1);
        c.instance = instance;
        return m_world->addCamera(c);
    }

    std::shared_ptr<os::emu::VirtualClock> m_clock;
    std::shared_ptr<os::emu::EmuWorld> m_world;
};

}  // namespace lumo::testsupport
