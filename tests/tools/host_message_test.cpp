// The probe's host context, messages and attribute lists, driven through the VST 3
// interfaces as a plug-in would use them.
#include "tools/host_message.h"
#include "tools/host_application.h"
#include "tools/tchar_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace norvo::probe {
namespace {

using namespace Steinberg;

TEST(HostApplication, ReportsItsNameAndCreatesMessagesOnly) {
  IPtr<HostApplication> host = owned(new HostApplication);
  Vst::String128 name{};
  ASSERT_EQ(host->getName(name), kResultOk);
  EXPECT_EQ(toUtf8(name), "norvo-probe");

  void* obj = nullptr;
  TUID messageCid, messageIid, listCid, listIid, otherIid;
  std::memcpy(messageCid, Vst::IMessage::iid, sizeof(TUID));
  std::memcpy(messageIid, Vst::IMessage::iid, sizeof(TUID));
  std::memcpy(listCid, Vst::IAttributeList::iid, sizeof(TUID));
  std::memcpy(listIid, Vst::IAttributeList::iid, sizeof(TUID));
  std::memcpy(otherIid, Vst::IHostApplication::iid, sizeof(TUID));
  ASSERT_EQ(host->createInstance(messageCid, messageIid, &obj), kResultOk);
  IPtr<Vst::IMessage> message = owned(static_cast<Vst::IMessage*>(obj));
  EXPECT_EQ(message->getMessageID(), nullptr);
  message->setMessageID("norvo.test");
  EXPECT_STREQ(message->getMessageID(), "norvo.test");
  ASSERT_NE(message->getAttributes(), nullptr);

  ASSERT_EQ(host->createInstance(listCid, listIid, &obj), kResultOk);
  owned(static_cast<Vst::IAttributeList*>(obj));
  EXPECT_EQ(host->createInstance(messageCid, otherIid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
}

TEST(HostApplication, AnswersQueryInterfaceWithItsOwnInterface) {
  IPtr<HostApplication> host = owned(new HostApplication);
  void* obj = nullptr;
  ASSERT_EQ(host->queryInterface(Vst::IHostApplication::iid, &obj), kResultOk);
  EXPECT_EQ(obj, static_cast<Vst::IHostApplication*>(host.get()));
  static_cast<FUnknown*>(obj)->release();
  EXPECT_EQ(host->queryInterface(Vst::IMessage::iid, &obj), kNoInterface);
}

TEST(HostAttributeList, KeepsEachKindAndRefusesWrongLookups) {
  IPtr<HostAttributeList> list = owned(new HostAttributeList);
  list->setInt("count", 42);
  list->setFloat("rate", 44100.5);
  const std::u16string text = toUtf16("Grüße");
  list->setString("name", reinterpret_cast<const Vst::TChar*>(text.c_str()));
  const char bytes[] = {'{', '}', 0, 'x'};
  list->setBinary("json", bytes, sizeof bytes);

  int64 i = 0;
  double d = 0;
  EXPECT_EQ(list->getInt("count", i), kResultOk);
  EXPECT_EQ(i, 42);
  EXPECT_EQ(list->getFloat("rate", d), kResultOk);
  EXPECT_EQ(d, 44100.5);
  EXPECT_EQ(list->getFloat("count", d), kResultFalse);  // stored as an integer
  EXPECT_EQ(list->getInt("missing", i), kResultFalse);

  Vst::String128 out{};
  ASSERT_EQ(list->getString("name", out, sizeof out), kResultOk);
  EXPECT_EQ(toUtf8(out), "Grüße");
  Vst::TChar small[3];
  ASSERT_EQ(list->getString("name", small, sizeof small), kResultOk);  // cut to fit, terminated
  EXPECT_EQ(toUtf8(small), "Gr");

  const void* data = nullptr;
  uint32 size = 0;
  ASSERT_EQ(list->getBinary("json", data, size), kResultOk);
  ASSERT_EQ(size, sizeof bytes);
  EXPECT_EQ(std::memcmp(data, bytes, size), 0);
}

}  // namespace
}  // namespace norvo::probe
