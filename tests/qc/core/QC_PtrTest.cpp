#include "QC_Callback.h"
#include "QC_String.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
struct Tracked : QC_RefCounted
{
    explicit Tracked(int* destroyedCount) : destroyed(destroyedCount) {}
    ~Tracked() override { ++*destroyed; }
    int* destroyed;
};

struct Counter
{
    int total = 0;
    void Add(int amount) { total += amount; }
    bool Positive() const { return total > 0; }
    void Take(QC_String text) { total += static_cast<int>(text.Length()); }
};

int Twice(int value)
{
    return value * 2;
}
void SetFlag(void* flag)
{
    *static_cast<bool*>(flag) = true;
}
} // namespace

TEST(QC_PtrTest, CountsReferencesAndDeletesAtZero)
{
    int destroyed = 0;
    Tracked* object = new Tracked(&destroyed);
    EXPECT_EQ(object->RefCount(), 0);
    {
        QC_Ptr<Tracked> first(object);
        EXPECT_EQ(object->RefCount(), 1);
        QC_Ptr<Tracked> second = first;
        EXPECT_EQ(object->RefCount(), 2);
        second = second; // self-assignment keeps the object alive
        first = first;
        EXPECT_EQ(object->RefCount(), 2);
        second = nullptr;
        EXPECT_EQ(object->RefCount(), 1);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(QC_PtrTest, ConcurrentReferencesBalanceOut)
{
    int destroyed = 0;
    QC_Ptr<Tracked> keeper(new Tracked(&destroyed));
    auto churn = [&] {
        for (int i = 0; i < 1000000; ++i) {
            keeper->AddRef();
            keeper->Release();
        }
    };
    std::thread a(churn);
    std::thread b(churn);
    a.join();
    b.join();
    EXPECT_EQ(keeper->RefCount(), 1);
    EXPECT_EQ(destroyed, 0);
}

TEST(QC_PtrDeathTest, DeletingAReferencedObjectIsFatal)
{
    EXPECT_EXIT(
        {
            int destroyed = 0;
            Tracked* object = new Tracked(&destroyed);
            object->AddRef();
            delete object;
        },
        testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "QC_Ptr\\.h\\([0-9]+\\): +[0-9]+ \\[FATAL\\] Ref count should be zero\\.");
}

TEST(QC_CallbackTest, BindsFunctionsAndMembersToLeadingArguments)
{
    QC_Callback<int(int)> twice = QC_Bind(&Twice);
    EXPECT_EQ(twice.Run(21), 42);

    QC_Callback<int()> bound = QC_Bind(&Twice, 5);
    EXPECT_EQ(bound.Run(), 10);

    bool flag = false;
    QC_Callback<void()> body = QC_Bind(&SetFlag, static_cast<void*>(&flag));
    body.Run();
    EXPECT_TRUE(flag);

    Counter counter;
    QC_Callback<void(int)> add = QC_Bind(&Counter::Add, &counter);
    add.Run(3);
    add.Run(4);
    EXPECT_EQ(counter.total, 7);
    QC_Callback<bool()> positive = QC_Bind(&Counter::Positive, static_cast<const Counter*>(&counter));
    EXPECT_TRUE(positive.Run());

    // A bound string is the callback's own copy.
    QC_String text("four");
    QC_Callback<void()> take = QC_Bind(&Counter::Take, &counter, text);
    text = "changed to something longer";
    take.Run();
    EXPECT_EQ(counter.total, 11);
}

TEST(QC_CallbackTest, CopiesShareOneBindStateAndCompareEqual)
{
    Counter counter;
    QC_Callback<void(int)> original = QC_Bind(&Counter::Add, &counter);
    QC_BindStateBase* state = original.BindState();
    auto* copy1 = new QC_Callback<void(int)>(original);
    QC_Callback<void(int)> copy2 = *copy1;
    QC_Callback<void(int)> copy3 = copy2;
    EXPECT_EQ(state->RefCount(), 4);
    original = QC_Callback<void(int)>();
    EXPECT_EQ(state->RefCount(), 3);
    EXPECT_TRUE(copy2 == copy3);
    delete copy1;
    EXPECT_EQ(state->RefCount(), 2);

    QC_Callback<void(int)> other = QC_Bind(&Counter::Add, &counter);
    EXPECT_FALSE(other == copy2); // same target, separate binding
    EXPECT_TRUE(original.IsNull());
}
