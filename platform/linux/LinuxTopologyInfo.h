#pragma once
// Topology nodes of a camera: its selector, processing and extension units in descriptor
// order; an extension unit is a device-specific node.
#include <vector>

#include "platform/DeviceWorld.h"
#include "platform/linux/UvcDescriptorParser.h"

namespace lumo::os::linuxworld {

class CLinuxTopologyInfo final : public ITopologyInfo {
public:
    explicit CLinuxTopologyInfo(const std::vector<UvcUnit>& units);
    HRESULT get_NumNodes(std::uint32_t* count) override;
    HRESULT get_NodeType(std::uint32_t node, Guid* type) override;

private:
    std::vector<Guid> m_nodeTypes;
};

}  // namespace lumo::os::linuxworld
