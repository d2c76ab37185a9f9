#pragma once
// A filter topology that is a fixed list of node types, in node order: what a camera's
// capture filter reports once its descriptors are known. The emulated world builds one per
// camera; fakes of the transport's tests use the same.
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/DeviceWorld.h"

namespace lumo::os {

class NodeListTopology final : public ITopologyInfo {
public:
    explicit NodeListTopology(std::vector<Guid> nodes) : m_nodes(std::move(nodes)) {}
    HRESULT get_NumNodes(std::uint32_t* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<std::uint32_t>(m_nodes.size());
        return S_OK;
    }
    HRESULT get_NodeType(std::uint32_t node, Guid* type) override {
        if (!type) return E_POINTER;
        if (node >= m_nodes.size()) return E_INVALIDARG;
        *type = m_nodes[node];
        return S_OK;
    }

private:
    std::vector<Guid> m_nodes;
};

}  // namespace lumo::os
