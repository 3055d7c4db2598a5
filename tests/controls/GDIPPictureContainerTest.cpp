#include <gtest/gtest.h>

#include "controls/GDIPPictureContainer.h"

TEST(GDIPPictureContainer, ContainerAndCacheFindPictures)
{
    TGDIPPictureContainer container;
    TGDIPPictureCache cache;
    EXPECT_EQ(nullptr, container.FindPicture("logo")) << "empty container";
    EXPECT_EQ(nullptr, cache.FindPicture("logo")) << "empty cache";

    container.Items().Add()->Name = "Logo";
    container.Items().Add()->Name = "Other";
    container.Items().Insert(1)->Name = "LOGO";  // a later item of the same name
    container.Items().Items(0)->Tag = 7;
    EXPECT_EQ(&container, container.Items().Owner());
    ASSERT_EQ(3, container.Items().Count());
    EXPECT_EQ("Other", container.Items().Items(2)->Name);

    cache.AddPicture()->ID = "Logo";
    cache.AddPicture()->ID = "logo";

    struct Case {
        const char* name;
        TGDIPPicture* container;
        TGDIPPicture* cache;
    } cases[] = {
        {"Logo", container.Items().Items(0)->Picture(), cache.GetPicture(0)},
        {"logo", container.Items().Items(0)->Picture(), cache.GetPicture(1)},  // case: only the container ignores it
        {"lOgO", container.Items().Items(0)->Picture(), nullptr},
        {"other", container.Items().Items(2)->Picture(), nullptr},
        {"Log", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.container, container.FindPicture(c.name)) << c.name;
        EXPECT_EQ(c.cache, cache.FindPicture(c.name)) << c.name;
    }

    EXPECT_EQ("1.0.0.0", container.Version());
    container.SetVersion("9.9");
    EXPECT_EQ("1.0.0.0", container.Version());

    TPictureItem copy;
    copy.Assign(*container.Items().Items(0));
    EXPECT_EQ("Logo", copy.Name);
    EXPECT_EQ(7, copy.Tag);

    cache.ClearPictures();
    EXPECT_EQ(0, cache.Count());
    EXPECT_EQ(nullptr, cache.FindPicture("Logo"));
}
