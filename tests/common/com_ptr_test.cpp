#include "vellorn/com_ptr.h"

#include <gtest/gtest.h>

#include "vellorn/com_object.h"

namespace {

// {6A3F1C2E-0B4D-4E8A-9C71-2D5E8F0A1B3C}
constexpr IID IID_ITestThing = {
    0x6A3F1C2E, 0x0B4D, 0x4E8A, {0x9C, 0x71, 0x2D, 0x5E, 0x8F, 0x0A, 0x1B, 0x3C}};

struct ITestThing : IUnknown {
    virtual int Value() = 0;
};

// Counts its references and records its own destruction.
class Thing final : public ComObject<ITestThing, IID_ITestThing> {
  public:
    explicit Thing(bool* destroyed) : destroyed_(destroyed) {}

    int Value() override { return 7; }
    ULONG references() {
        AddRef();
        return Release();
    }

  private:
    ~Thing() override { *destroyed_ = true; }
    bool* destroyed_;
};

TEST(ComPtrTest, AdoptTakesOverTheCreatorsReference) {
    bool destroyed = false;
    {
        auto thing = ComPtr<Thing>::Adopt(new Thing(&destroyed));
        EXPECT_EQ(thing->references(), 1u);
    }
    EXPECT_TRUE(destroyed);
}

TEST(ComPtrTest, CopiesAddAndReleaseReferences) {
    bool destroyed = false;
    auto first = ComPtr<Thing>::Adopt(new Thing(&destroyed));
    {
        ComPtr<Thing> second = first;
        ComPtr<Thing> third(first.Get());
        EXPECT_EQ(first->references(), 3u);
    }
    EXPECT_EQ(first->references(), 1u);
    first = first;  // self-assignment keeps the object alive
    EXPECT_FALSE(destroyed);
    first.Reset();
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(first);
}

TEST(ComPtrTest, MoveTransfersWithoutTouchingTheCount) {
    bool destroyed = false;
    auto first = ComPtr<Thing>::Adopt(new Thing(&destroyed));
    ComPtr<Thing> second = std::move(first);
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(second->references(), 1u);
    ComPtr<Thing> third;
    third = std::move(second);
    EXPECT_EQ(third->references(), 1u);
    EXPECT_FALSE(destroyed);
}

TEST(ComPtrTest, ReleaseAndGetAddressOfReleasesTheOldObject) {
    bool firstDestroyed = false;
    bool secondDestroyed = false;
    auto holder = ComPtr<Thing>::Adopt(new Thing(&firstDestroyed));
    Thing** slot = holder.ReleaseAndGetAddressOf();
    EXPECT_TRUE(firstDestroyed);
    *slot = new Thing(&secondDestroyed);
    EXPECT_EQ(holder->references(), 1u);
    holder.Reset();
    EXPECT_TRUE(secondDestroyed);
}

TEST(ComPtrTest, DetachHandsTheReferenceToTheCaller) {
    bool destroyed = false;
    Thing* raw = nullptr;
    {
        auto holder = ComPtr<Thing>::Adopt(new Thing(&destroyed));
        raw = holder.Detach();
    }
    EXPECT_FALSE(destroyed);
    raw->Release();
    EXPECT_TRUE(destroyed);
}

TEST(ComPtrTest, AsQueriesAndFillsOnlyOnSuccess) {
    bool destroyed = false;
    auto thing = ComPtr<Thing>::Adopt(new Thing(&destroyed));
    ComPtr<ITestThing> asThing;
    ASSERT_EQ(thing.As(IID_ITestThing, &asThing), S_OK);
    EXPECT_EQ(asThing->Value(), 7);
    EXPECT_EQ(thing->references(), 2u);

    constexpr IID kOther = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    ComPtr<ITestThing> untouched = asThing;
    EXPECT_EQ(thing.As(kOther, &untouched), E_NOINTERFACE);
    EXPECT_EQ(untouched.Get(), asThing.Get());

    ComPtr<Thing> empty;
    EXPECT_EQ(empty.As(IID_ITestThing, &untouched), E_POINTER);
}

TEST(GuidTest, ComparesEveryByte) {
    IID changed = IID_ITestThing;
    EXPECT_TRUE(IsEqualGUID(changed, IID_ITestThing));
    changed.Data4[7] ^= 1;
    EXPECT_FALSE(IsEqualGUID(changed, IID_ITestThing));
    EXPECT_FALSE(changed == IID_ITestThing);
}

}  // namespace
