// The resource registry: IDs, unregistering, the release and rebuild walks, shutdown.
#include "graphics_fixture.h"

namespace {

// Records its callbacks into a shared journal; unregisters itself unless told not to.
class Probe : public TDGResource {
 public:
  Probe(TDGCarad& carad, std::string name, std::vector<std::string>& journal, bool withRelease = true,
        bool unregisters = true)
      : carad_(carad), name_(std::move(name)), journal_(journal), unregisters_(unregisters) {
    TDGNotifyEvent onRelease;
    if (withRelease) onRelease = [this] { journal_.push_back("release " + name_); };
    id = carad.RegisterResource(*this, name_, onRelease, [this] { journal_.push_back("rebuild " + name_); }, {}, {});
  }
  ~Probe() override {
    journal_.push_back("destroy " + name_);
    if (unregisters_) carad_.UnregisterResource(id);
  }
  std::string ClassName() const override { return "TProbe"; }

  std::int32_t id = -1;

 private:
  TDGCarad& carad_;
  std::string name_;
  std::vector<std::string>& journal_;
  bool unregisters_;
};

TEST_F(GraphicsTest, IdsCountUpAndAreNeverReused) {
  Start();
  std::vector<std::string> journal;
  auto first = std::make_unique<Probe>(*carad, "a", journal);
  Probe second(*carad, "b", journal);
  EXPECT_EQ(first->id, 0);
  EXPECT_EQ(second.id, 1);
  first.reset();
  Probe third(*carad, "c", journal);
  EXPECT_EQ(third.id, 2);
  EXPECT_TRUE(LogHas("DGCaradリソース(TProbe)を登録します ID は 2(c) です"));
  EXPECT_TRUE(LogHas("DGCaradリソース(TProbe) : ID 0(a) を登録解除します"));
}

TEST_F(GraphicsTest, UnregisteringTwiceIsAFailureThatChangesNothing) {
  Start(dgoDebugMessage);
  std::vector<std::string> journal;
  Probe probe(*carad, "a", journal);
  Probe other(*carad, "b", journal);
  carad->UnregisterResource(probe.id);
  carad->UnregisterResource(probe.id);
  ASSERT_EQ(carad->Resources().size(), 1u);
  EXPECT_EQ(carad->Resources()[0].ID, other.id);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"リストに入ってないDGCaradリソース(ID:0)が、UnregisterResource手続きに"
                                                 "渡されました(Error Code = UNKNOWN ERROR ... $00000001)"});
  carad->UnregisterResource(7);  // never registered
  EXPECT_EQ(LogTexts().size(), 2u);
}

// All releases in registration order, then the device goes, then all rebuilds.
TEST_F(GraphicsTest, DeviceRecreationReleasesThenRebuildsInRegistrationOrder) {
  Start();
  std::vector<std::string> journal;
  Probe a(*carad, "a", journal);
  Probe scene(*carad, "scene", journal, /*withRelease=*/false);
  Probe b(*carad, "b", journal);
  EXPECT_TRUE(journal.empty());  // registering with a live device rebuilds nothing
  FullScreen();
  EXPECT_EQ(journal, (std::vector<std::string>{"release a", "release b", "rebuild a", "rebuild scene", "rebuild b"}));
}

TEST_F(GraphicsTest, ShutdownWarnsAboutAndDestroysEveryLeftover) {
  Start();
  std::vector<std::string> journal;
  auto destroyed = std::make_unique<Probe>(*carad, "gone", journal);
  new Probe(*carad, "left", journal);
  new Probe(*carad, "stubborn", journal, true, /*unregisters=*/false);
  destroyed.reset();
  carad.reset();
  const auto texts = LogTexts();
  const auto count = [&texts](const std::string& text) { return std::count(texts.begin(), texts.end(), text); };
  EXPECT_EQ(count("ID 0(gone) のDGCaradリソースは、明示的に解放されていません"), 0);
  EXPECT_EQ(count("ID 1(left) のDGCaradリソースは、明示的に解放されていません"), 1);
  EXPECT_EQ(count("ID 2(stubborn) のDGCaradリソースは、明示的に解放されていません"), 1);
  // Leftovers go before the device: their release callbacks run no more.
  EXPECT_EQ(journal, (std::vector<std::string>{"destroy gone", "destroy left", "destroy stubborn"}));
}

}  // namespace
