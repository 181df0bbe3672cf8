#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "AfxMemoryControl.h"
#include "DeviceNodes.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/ConnectionTree.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"

namespace {

using Tree = core::tree<ConnectionElement>;
using Iter = core::tree_iterator<ConnectionElement>;

// Model objects that count their own destruction, of two run-time classes.
class CPortObject : public CObject {
    DECLARE_DYNAMIC(CPortObject)
public:
    ~CPortObject() override { ++s_destroyed; }
    static inline int s_destroyed = 0;
};
IMPLEMENT_DYNAMIC(CPortObject, CObject)

class CHubObject : public CObject {
    DECLARE_DYNAMIC(CHubObject)
public:
    ~CHubObject() override { ++s_destroyed; }
    static inline int s_destroyed = 0;
};
IMPLEMENT_DYNAMIC(CHubObject, CObject)

ConnectionElement Elem(CObject* object, const char* label = "", UINT type = RootHubPort) {
    ConnectionElement e(TRUE, type, object);
    e.m_LabelText = label;
    return e;
}

// Checks every link of the subtree below the node: the head invariant, parents, depths, sibling links and
// counts. Returns the labels of the children in order.
std::vector<std::string> CheckNode(const Tree& node) {
    std::vector<std::string> labels;
    const Tree* first = node.first_child();
    if (first == nullptr) {
        EXPECT_EQ(0u, node.size());
        return labels;
    }
    const Tree* head = first->prev_sibling();
    EXPECT_NE(nullptr, head) << "the first child's previous link is the head";
    if (head == nullptr)
        return labels;
    EXPECT_EQ(first, head->next_sibling());
    EXPECT_EQ(nullptr, head->parent());
    EXPECT_EQ(nullptr, head->first_child());
    const Tree* previous = head;
    for (const Tree* child = first; child != nullptr; child = child->next_sibling()) {
        EXPECT_EQ(&node, child->parent());
        EXPECT_EQ(previous, child->prev_sibling());
        EXPECT_EQ(node.depth() + 1, child->depth());
        labels.emplace_back(child->get().m_LabelText.GetString());
        CheckNode(*child);
        previous = child;
    }
    EXPECT_EQ(labels.size(), node.size());
    return labels;
}

// Records every destroyed node, and reports one reported twice.
class Recorder : public core::tree_observer<ConnectionElement> {
public:
    void node_destroyed(Tree* node) override {
        EXPECT_TRUE(destroyed.insert(node).second) << "a node reported twice";
        labels.emplace_back(node->get().m_LabelText.GetString());
    }
    std::set<Tree*> destroyed;
    std::vector<std::string> labels;
};

using Labels = std::vector<std::string>;

TEST(ConnectionElement, SameElementMeansTheSameObjectOfTheSameClass) {
    CPortObject a, b;
    CHubObject hub;
    EXPECT_TRUE(ConnectionElement::IsSameElement(Elem(&a), Elem(&a, "other label", ExternalHubPort)));
    EXPECT_FALSE(ConnectionElement::IsSameElement(Elem(&a), Elem(&b)));
    EXPECT_FALSE(ConnectionElement::IsSameElement(Elem(&a), Elem(&hub)));
    EXPECT_FALSE(ConnectionElement::IsSameElement(Elem(nullptr), Elem(nullptr)));
    EXPECT_FALSE(ConnectionElement::IsSameElement(Elem(&a), Elem(nullptr)));
    EXPECT_STREQ("UnassignedType", ConnectionElement::GetElementTypeName(0));
    EXPECT_STREQ("SSExternalHub", ConnectionElement::GetElementTypeName(8));
    EXPECT_STREQ("OtherType", ConnectionElement::GetElementTypeName(9));
    ConnectionElement blank;
    EXPECT_EQ(UnassignedType, blank.m_ElementType);
    EXPECT_FALSE(blank.m_IsCheckable);
    EXPECT_EQ(12u, blank.m_nSchema);
}

TEST(ConnectionTree, InsertFindAndUnlinkKeepEveryLink) {
    CPortObject p[5];
    Recorder recorder;
    Tree root(Elem(nullptr, "root", HostComputer));
    root.set_observer(&recorder);
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(nullptr, root.insert(Elem(&p[i], std::to_string(i).c_str())).node());
    Iter second = root.find(Elem(&p[1]));
    ASSERT_NE(nullptr, second.node());
    Iter grandchild = second.insert(Elem(&p[4], "1.0"));
    EXPECT_EQ(2u, grandchild.node()->depth());
    EXPECT_EQ((Labels{"0", "1", "2", "3"}), CheckNode(root));
    EXPECT_EQ(g_ConnectionTreeEnd, root.find(Elem(&p[4]))) << "find does not descend";
    EXPECT_EQ(grandchild, root.find_in_subtree(Elem(&p[4])));
    EXPECT_EQ(g_ConnectionTreeEnd, grandchild.find_in_subtree(Elem(&p[4]))) << "the start node is not tested";
    EXPECT_EQ(g_ConnectionTreeEnd, root.find(Elem(nullptr, "0")));

    struct UnlinkStep {
        int object;
        Labels after;
    };
    // Middle, first, last, then the only child.
    for (const UnlinkStep& step : std::vector<UnlinkStep>{{2, {"0", "1", "3"}}, {0, {"1", "3"}}, {3, {"1"}}, {1, {}}}) {
        SCOPED_TRACE(step.object);
        Tree* node = root.find(Elem(&p[step.object])).node();
        ASSERT_NE(nullptr, node);
        node->unlink();
        EXPECT_EQ(nullptr, node->parent());
        EXPECT_EQ(nullptr, node->next_sibling());
        EXPECT_EQ(nullptr, node->prev_sibling());
        EXPECT_EQ(step.after, CheckNode(root));
        delete node; // unlinked first: its subtree goes with it
    }
    EXPECT_EQ(nullptr, root.first_child());
    EXPECT_EQ((Labels{"2", "0", "3", "1", "1.0"}), recorder.labels);
}

TEST(ConnectionTree, IteratorWalksTheChildrenAndClearEmptiesTheNode) {
    CPortObject p[3];
    Recorder recorder;
    Tree root;
    root.set_observer(&recorder);
    for (int i = 0; i < 3; ++i)
        root.insert(Elem(&p[i], std::to_string(i).c_str())).insert(Elem(&p[i], "child"));
    Labels walked;
    for (Iter it = root.begin(); !(it == g_ConnectionTreeEnd);)
        walked.emplace_back(it++->m_LabelText.GetString());
    EXPECT_EQ((Labels{"0", "1", "2"}), walked);
    root.clear();
    EXPECT_EQ(Labels{}, CheckNode(root));
    EXPECT_EQ(6u, recorder.destroyed.size());
    EXPECT_EQ(g_ConnectionTreeEnd, root.begin());
}

TEST(ConnectionTree, AnEqualChildIsReplacedWithItsWholeSubtree) {
    CPortObject a, b, c, below;
    CPortObject twin; // same class as a, another object
    Recorder recorder;
    Tree root;
    root.set_observer(&recorder);
    root.insert(Elem(&a, "a")).insert(Elem(&below, "a.below"));
    root.insert(Elem(&b, "b"));
    root.insert(Elem(&twin, "twin"));
    root.insert(Elem(nullptr, "no object"));
    root.insert(Elem(nullptr, "no object either"));
    Iter fresh = root.insert(Elem(&a, "a again"));
    EXPECT_EQ((Labels{"b", "twin", "no object", "no object either", "a again"}), CheckNode(root));
    EXPECT_EQ((Labels{"a", "a.below"}), recorder.labels) << "exactly the old subtree";
    EXPECT_EQ(root.find(Elem(&a)), fresh);
    // The freed nodes' addresses may come back for the nodes inserted next.
    recorder.destroyed.clear();

    // The only child replaced: the head goes and comes back.
    Tree lone;
    lone.set_observer(&recorder);
    lone.insert(Elem(&c, "c"));
    lone.insert(Elem(&c, "c again"));
    EXPECT_EQ((Labels{"c again"}), CheckNode(lone));
}

TEST(ConnectionTree, DestroyingNodesNeverDeletesTheirObjects) {
    CPortObject::s_destroyed = 0;
    CHubObject::s_destroyed = 0;
    {
        CPortObject ports[3];
        CHubObject hub;
        {
            Tree root;
            Iter h = root.insert(Elem(&hub, "hub", ExternalHub));
            for (CPortObject& port : ports)
                h.insert(Elem(&port, "port"));
            root.insert(Elem(&hub, "hub again"));
            delete root.insert(Elem(&ports[0], "doomed")).node();
        }
        EXPECT_EQ(0, CPortObject::s_destroyed);
        EXPECT_EQ(0, CHubObject::s_destroyed);
    }
    EXPECT_EQ(3, CPortObject::s_destroyed);
    EXPECT_EQ(1, CHubObject::s_destroyed);
}

TEST(ConnectionTree, AnInsertWithoutMemoryChangesNothing) {
    CPortObject a, b;
    Recorder recorder;
    Tree root;
    root.set_observer(&recorder);
    // The node itself, the label's copy, the head node: each in turn.
    const ConnectionElement first = Elem(&a, "first with a long label that needs its own buffer");
    const ConnectionElement replacement = Elem(&a, "replacement with a long label that needs its own buffer");
    for (uint64_t n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        afx::memory::FailNthAllocation(n);
        Iter result = root.insert(first);
        afx::memory::ClearInjectedFailures();
        if (!(result == g_ConnectionTreeEnd))
            break; // fewer allocations than tried
        EXPECT_EQ(nullptr, root.first_child());
    }
    root.clear();
    root.insert(Elem(&a, "a")).insert(Elem(&b, "a.b"));
    recorder.labels.clear();
    for (uint64_t n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        afx::memory::FailNthAllocation(n);
        Iter result = root.insert(replacement);
        afx::memory::ClearInjectedFailures();
        if (!(result == g_ConnectionTreeEnd))
            break;
        EXPECT_EQ((Labels{"a"}), CheckNode(root)) << "the equal child stays";
        EXPECT_EQ(1u, root.first_child()->size());
        EXPECT_TRUE(recorder.labels.empty());
    }
}

class DocumentTree : public testing::Test {
protected:
    void SetUp() override {
        devtest::NodeList list;
        for (USHORT id = 1; id <= kStacks; ++id)
            list.Add(devtest::StackNode(id));
        list.End();
        ASSERT_TRUE(
            doc.GetStackTree()->ParseDevstkNodes(list.bytes.data(), list.bytes.size(), doc.GetAttachedDevices()));
        doc.GetConnectionTree().get() = Elem(nullptr, "system", HostComputer);
    }
    CDeviceStack* Stack(USHORT id) { return doc.GetStackTree()->FindStackById(id); }

    static constexpr USHORT kStacks = 40;
    CUSBLog doc;
};

TEST_F(DocumentTree, RemoveSubtreeKeepsTheFoundNodeAndClearsTheStacksBelow) {
    CHubObject hub;
    CPortObject ports[2];
    Iter hubNode = doc.GetConnectionTree().insert(Elem(&hub, "hub", RootHub));
    Stack(1)->m_pSubtree = hubNode.node();
    for (int i = 0; i < 2; ++i)
        Stack(static_cast<USHORT>(2 + i))->m_pSubtree = hubNode.insert(Elem(&ports[i], "port")).node();
    EXPECT_TRUE(doc.RemoveSubtree(&hub));
    EXPECT_EQ(hubNode, doc.GetConnectionTree().find(Elem(&hub)));
    EXPECT_EQ(0u, hubNode.node()->size());
    EXPECT_EQ(hubNode.node(), Stack(1)->m_pSubtree);
    EXPECT_EQ(nullptr, Stack(2)->m_pSubtree);
    EXPECT_EQ(nullptr, Stack(3)->m_pSubtree);
    CPortObject stranger;
    EXPECT_FALSE(doc.RemoveSubtree(&stranger));
    EXPECT_FALSE(doc.RemoveSubtree(nullptr));
}

// Random edits: insert (and so replacement), clear, unlink-then-delete, delete and RemoveSubtree. After each
// one the links are checked and `check` is given the live nodes.
template <class RemoveSubtree, class OnInsert, class Check>
void RandomEdits(Tree& root, unsigned seed, RemoveSubtree removeSubtree, OnInsert onInsert, Check check) {
    std::vector<std::unique_ptr<CPortObject>> objects;
    for (int i = 0; i < 30; ++i)
        objects.push_back(std::make_unique<CPortObject>());
    std::mt19937 random(seed);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    auto liveNodes = [&root] {
        std::vector<Tree*> live{&root};
        for (size_t i = 0; i < live.size(); ++i)
            for (Tree* c = live[i]->first_child(); c != nullptr; c = c->next_sibling())
                live.push_back(c);
        return live;
    };
    for (int round = 0; round < 1500; ++round) {
        SCOPED_TRACE(round);
        std::vector<Tree*> live = liveNodes();
        Tree* target = live[pick(live.size())];
        switch (pick(6)) {
        case 0:
        case 1: {
            Iter made = Iter(target).insert(Elem(objects[pick(objects.size())].get(), "n"));
            ASSERT_NE(nullptr, made.node());
            onInsert(made.node(), pick(1000));
            break;
        }
        case 2: target->clear(); break;
        case 3:
            if (target != &root) {
                target->unlink();
                delete target;
            }
            break;
        case 4:
            if (target != &root)
                delete target;
            break;
        default: removeSubtree(target->get().m_pElemObject); break;
        }
        CheckNode(root);
        live = liveNodes();
        check(std::set<Tree*>(live.begin(), live.end()));
        if (testing::Test::HasFailure())
            return;
    }
}

TEST(ConnectionTree, RandomEditsReportEveryDestroyedNodeOnce) {
    Recorder recorder;
    std::set<Tree*> created;
    size_t liveAtEnd = 0;
    {
        Tree root;
        root.set_observer(&recorder);
        RandomEdits(
            root, 7,
            [&root](CObject* object) {
                Iter found = root.find_in_subtree(Elem(object));
                if (found.node() != nullptr)
                    found.node()->clear();
            },
            [&](Tree* node, size_t) {
                recorder.destroyed.erase(node); // an address may come back for a new node
                created.insert(node);
            },
            [&](const std::set<Tree*>& live) {
                for (Tree* node : created)
                    EXPECT_NE(live.count(node) == 1, recorder.destroyed.count(node) == 1);
            });
        recorder.destroyed.clear();
        size_t live = 0;
        std::vector<Tree*> walk{&root};
        for (size_t i = 0; i < walk.size(); ++i, ++live)
            for (Tree* c = walk[i]->first_child(); c != nullptr; c = c->next_sibling())
                walk.push_back(c);
        created.clear();
        liveAtEnd = live;
    }
    EXPECT_EQ(liveAtEnd, recorder.destroyed.size()) << "destroying the root reports it and all that is left";
}

TEST_F(DocumentTree, RandomEditsNeverLeaveAStackOnADestroyedNode) {
    Tree& root = doc.GetConnectionTree();
    RandomEdits(
        root, 12345, [this](CObject* object) { doc.RemoveSubtree(object); },
        [this](Tree* node, size_t n) { Stack(static_cast<USHORT>(1 + n % kStacks))->m_pSubtree = node; },
        [this](const std::set<Tree*>& live) {
            for (USHORT id = 1; id <= kStacks; ++id) {
                Tree* subtree = Stack(id)->m_pSubtree;
                ASSERT_TRUE(subtree == nullptr || live.count(subtree) == 1) << "stack " << id;
            }
        });
}

} // namespace
