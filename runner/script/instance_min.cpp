#include "script/instance_min.h"

namespace kx {

CInstance* SimpleInstanceList::create(int32_t object_index) {
    m_list.push_back(std::make_unique<CInstance>(m_next_id++, object_index));
    CInstance* inst = m_list.back().get();
    if (object_index >= 0) {
        if (static_cast<size_t>(object_index) >= m_by_object.size())
            m_by_object.resize(static_cast<size_t>(object_index) + 1);
        m_by_object[static_cast<size_t>(object_index)].push_back(inst);
    }
    return inst;
}

int SimpleInstanceList::object_count(int32_t object_index) const {
    if (object_index < 0 || static_cast<size_t>(object_index) >= m_by_object.size()) return 0;
    return static_cast<int>(m_by_object[static_cast<size_t>(object_index)].size());
}

CInstance* SimpleInstanceList::object_at(int32_t object_index, int pos) const {
    return m_by_object[static_cast<size_t>(object_index)][static_cast<size_t>(pos)];
}

}  // namespace kx
