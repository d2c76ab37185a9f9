#include "platform/linux/LinuxTopologyInfo.h"

namespace lumo::os::linuxworld {
namespace {
// node types of the class driver's selector and processing nodes
constexpr Guid kNodeTypeVideoSelector{0xDFF229E4, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr Guid kNodeTypeVideoProcessing{0xDFF229E5, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
}  // namespace

CLinuxTopologyInfo::CLinuxTopologyInfo(const std::vector<UvcUnit>& units) {
    for (const auto& unit : units) {
        switch (unit.kind) {
            case UvcUnitKind::Selector:
                m_nodeTypes.push_back(kNodeTypeVideoSelector);
                break;
            case UvcUnitKind::Processing:
                m_nodeTypes.push_back(kNodeTypeVideoProcessing);
                break;
            case UvcUnitKind::Extension:
                m_nodeTypes.push_back(guids::kNodeTypeDevSpecific);
                break;
            case UvcUnitKind::Encoding:
                break;  // not a node the layer above looks at
        }
    }
}

HRESULT CLinuxTopologyInfo::get_NumNodes(std::uint32_t* count) {
    if (!count) return E_POINTER;
    *count = static_cast<std::uint32_t>(m_nodeTypes.size());
    return S_OK;
}

HRESULT CLinuxTopologyInfo::get_NodeType(std::uint32_t node, Guid* type) {
    if (!type) return E_POINTER;
    if (node >= m_nodeTypes.size()) return E_INVALIDARG;
    *type = m_nodeTypes[node];
    return S_OK;
}

}  // namespace lumo::os::linuxworld
