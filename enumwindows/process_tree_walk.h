// Walks the records below a process, parents before their children and each
// ChildProcesses in order. Iterative, so a deep chain of processes cannot
// exhaust the stack, and it visits a record at most once even if a stale
// snapshot has linked processes into a loop.
#pragma once

#include <cstddef>
#include <unordered_set>
#include <vector>

#include "enumwindows/cprocess.h"

namespace brakkis {

template <class Visit>
void ForEachDescendant(const CProcess& root, Visit&& visit) {
    struct Frame {
        const KeyedCollection<CProcess>* children;
        std::size_t next;
    };
    std::vector<Frame> stack{{&root.ChildProcesses, 0}};
    std::unordered_set<const CProcess*> seen{&root};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.children->Count()) {
            stack.pop_back();
            continue;
        }
        CProcess& child = *top.children->At(top.next++);
        if (!seen.insert(&child).second) continue;
        visit(child);
        stack.push_back({&child.ChildProcesses, 0});
    }
}

}  // namespace brakkis
