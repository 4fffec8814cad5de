// The machine's heap: dynamic properties and prototype lookup, and mark-and-sweep
// collection that keeps what the roots reach (cycles and long chains included).
#include <gtest/gtest.h>

#include "movie/avm2/heap.h"

namespace orv::movie::avm2 {
namespace {

// An object that counts its destruction.
struct Counted : Object {
  explicit Counted(int* deaths) : deaths_(deaths) {}
  ~Counted() override { ++*deaths_; }
  int* deaths_;
};

TEST(Avm2Heap, DynamicPropertiesKeepTheirOrderAndFollowPrototypes) {
  StringTable names;
  Heap heap;
  Object* base = heap.make<Object>();
  Object* o = heap.make<Object>();
  o->setPrototype(base);
  String* x = names.intern("x");
  String* y = names.intern("y");
  base->setOwn(x, Value(1));
  o->setOwn(y, Value(2));
  o->setOwn(names.intern("z"), Value(3));
  o->setOwn(y, Value(4));  // a second set keeps the first place
  ASSERT_EQ(o->ownCount(), 2u);
  EXPECT_EQ(o->ownNameAt(0), y);
  EXPECT_EQ(o->findOwn(x), nullptr);
  ASSERT_NE(o->find(x), nullptr);
  EXPECT_EQ(o->find(x)->asInt(), 1);
  EXPECT_EQ(o->find(y)->asInt(), 4);
  EXPECT_TRUE(o->deleteOwn(y));
  EXPECT_FALSE(o->deleteOwn(y));
  // A deleted property leaves its place empty, so the others keep theirs while an
  // enumeration goes on; once most places are empty they are packed again.
  ASSERT_EQ(o->ownCount(), 2u);
  EXPECT_EQ(o->ownNameAt(0), nullptr);
  EXPECT_EQ(o->ownNameAt(1)->view(), "z");
  for (int i = 0; i < 40; ++i) o->setOwn(names.intern("p" + std::to_string(i)), Value(i));
  for (int i = 0; i < 40; ++i) EXPECT_TRUE(o->deleteOwn(names.intern("p" + std::to_string(i))));
  EXPECT_LT(o->ownCount(), 30u);
  EXPECT_NE(o->findOwn(names.intern("z")), nullptr);
  size_t live = 0;
  for (size_t i = 0; i < o->ownCount(); ++i) live += o->ownNameAt(i) != nullptr;
  EXPECT_EQ(live, 1u);
  base->setPrototype(o);  // a cycle scripts can make ends the lookup
  EXPECT_EQ(o->find(names.intern("missing")), nullptr);
}

TEST(Avm2Heap, CollectionFreesWhatTheRootsDoNotReach) {
  StringTable names;
  String* next = names.intern("next");
  int deaths = 0;
  {
    Heap heap;
    Object* root = heap.make<Counted>(&deaths);
    Object* kept = heap.make<Counted>(&deaths);
    root->setOwn(next, Value(kept));
    // A cycle nobody reaches, and one reached through the root.
    Object* a = heap.make<Counted>(&deaths);
    Object* b = heap.make<Counted>(&deaths);
    a->setOwn(next, Value(b));
    b->setOwn(next, Value(a));
    kept->setPrototype(root);
    // A long chain: marking must not recurse per link.
    Object* chain = root;
    for (int i = 0; i < 200000; ++i) {
      Object* link = heap.make<Object>();
      chain->setOwn(names.intern("c"), Value(link));
      chain = link;
    }
    EXPECT_EQ(heap.collect([&](Marker& m) { m.mark(Value(root)); }), 2u);
    EXPECT_EQ(deaths, 2);
    EXPECT_EQ(heap.size(), 2u + 200000u);
    // A second collection with nothing more to free frees nothing (marks were reset).
    EXPECT_EQ(heap.collect([&](Marker& m) { m.mark(root); }), 0u);
    EXPECT_EQ(heap.collect([](Marker&) {}), 2u + 200000u);
    EXPECT_EQ(deaths, 4);
    heap.make<Counted>(&deaths);
  }
  EXPECT_EQ(deaths, 5);  // the heap frees what is left when it goes
}

}  // namespace
}  // namespace orv::movie::avm2
