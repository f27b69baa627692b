#include "DemoGoodbyeChapter.h"

#include "DemoContext.h"
#include "DemoWorld.h"

namespace quorvela::host {

void DemoGoodbyeChapter::play(DemoContext& demo) {
    auto& story = demo.story;
    auto& probe = demo.probe;
    story.chapter("Goodbye");

    demo.facade->unRegisterUser();
    story.step("the user unregisters", [&] {
        if (probe.user(std::string(DemoWorld::kUser))) return DemoCheck::fail("the sandbox still has the user");
        if (probe.stored("clientUserID")) return DemoCheck::fail("the library still stores \"clientUserID\"");
        if (probe.stored("Workspace-Subscribed")) return DemoCheck::fail("the library still stores its workspaces");
        return DemoCheck::pass("removeAppUser answered successful; user and workspace lists forgotten");
    });
}

}  // namespace quorvela::host
