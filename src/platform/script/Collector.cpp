// Cycles among the engine's own containers (script class instances and the
// dictionaries it made) that reference counting never frees: an instance
// whose field refers back to it, a dictionary that holds itself, two that
// hold each other. When the engine closes, a container that nothing outside
// these containers holds any more is garbage; its contents are dropped so
// that the cycle comes apart. A container the host still holds (directly or
// through another one it holds) keeps its contents.
//
// The test is the one of trial deletion: a container's references minus the
// references from the other containers (and the arrays they hold) leaves the
// references from outside; whatever is reachable from a container with
// references from outside survives.
#include "platform/script/EngineDetail.h"

#include <unordered_map>

namespace qz::script {

namespace {

struct Node {
    enum Kind : std::uint8_t { Instance, Dict, Array } kind;
    RefCounted* obj;
    std::int64_t outside;   // references not from a container of the graph
    bool reachable = false;
};

template <class F>
void forEachChild(const Node& n, F&& f) {
    switch (n.kind) {
    case Node::Instance:
        for (const Variant& v : static_cast<ScriptObject*>(n.obj)->fields) f(v);
        break;
    case Node::Dict:
        static_cast<Dictionary*>(n.obj)->forEachValue(f);
        break;
    case Node::Array:
        for (const Variant& v : static_cast<SafeArray*>(n.obj)->data) f(v);
        break;
    }
}

class Graph {
public:
    void add(Node::Kind k, RefCounted* obj) {
        index_.emplace(obj, nodes_.size());
        nodes_.push_back(Node{k, obj, static_cast<std::int64_t>(obj->refCount())});
    }

    // The node a value refers to, or -1: arrays are added as they are found.
    std::ptrdiff_t target(const Variant& v) {
        RefCounted* obj = v.isArray() ? static_cast<RefCounted*>(v.arrayValue())
                        : v.isObject() ? static_cast<RefCounted*>(v.objectValue()) : nullptr;
        if (!obj) return -1;
        auto it = index_.find(obj);
        if (it != index_.end()) return static_cast<std::ptrdiff_t>(it->second);
        if (!v.isArray()) return -1;  // an object of the host: outside the graph
        add(Node::Array, obj);
        return static_cast<std::ptrdiff_t>(nodes_.size() - 1);
    }

    // Subtracts the references between nodes, then marks what the rest reach.
    void mark() {
        for (std::size_t i = 0; i < nodes_.size(); ++i) {  // grows as arrays turn up
            const Node n = nodes_[i];
            forEachChild(n, [&](const Variant& v) {
                if (std::ptrdiff_t t = target(v); t >= 0) --nodes_[static_cast<std::size_t>(t)].outside;
            });
        }
        std::vector<std::size_t> work;
        for (std::size_t i = 0; i < nodes_.size(); ++i)
            if (nodes_[i].outside > 0) {
                nodes_[i].reachable = true;
                work.push_back(i);
            }
        while (!work.empty()) {
            const Node n = nodes_[work.back()];
            work.pop_back();
            forEachChild(n, [&](const Variant& v) {
                std::ptrdiff_t t = target(v);
                if (t >= 0 && !nodes_[static_cast<std::size_t>(t)].reachable) {
                    nodes_[static_cast<std::size_t>(t)].reachable = true;
                    work.push_back(static_cast<std::size_t>(t));
                }
            });
        }
    }

    const std::vector<Node>& nodes() const { return nodes_; }

private:
    std::vector<Node> nodes_;
    std::unordered_map<const RefCounted*, std::size_t> index_;
};

} // namespace

void collectCycles(EngineLink& link) noexcept {
    try {
        Graph g;
        // Objects whose count is 0 are already on their way out.
        for (ScriptObject* o = link.live; o; o = o->nextLive)
            if (o->refCount() > 0) g.add(Node::Instance, o);
        for (Dictionary* d = link.dictionaries->first; d; d = d->nextInList())
            if (d->refCount() > 0) g.add(Node::Dict, d);
        if (g.nodes().empty()) return;
        g.mark();
        // Hold the garbage while emptying it, so that nothing is freed halfway.
        std::vector<Ref<Dispatch>> garbage;
        for (const Node& n : g.nodes())
            if (!n.reachable && n.kind != Node::Array) garbage.emplace_back(static_cast<Dispatch*>(n.obj));
        for (auto& obj : garbage) {
            if (auto* so = asScriptObject(obj.get())) {
                std::vector<Variant> fields = std::move(so->fields);
                so->fields.assign(fields.size(), Variant());
            } else {
                static_cast<Dictionary*>(obj.get())->removeAll();
            }
        }
    } catch (...) {
        // No memory for the walk: the cycles stay, nothing else is harmed.
    }
}

} // namespace qz::script
