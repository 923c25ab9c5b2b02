#include "config/route_plan.h"

#include <gtest/gtest.h>

namespace kest::config {
namespace {

TEST(RoutePlan, AppendFoldsOnlyAsciiLettersAndKeepsTheFirstForm) {
    PlanList list;
    list.append("example.com");
    list.append("EXAMPLE.com");
    list.append("ÄPFEL.de");
    list.append("äpfel.de");
    list.append("Example.Org");
    list.append("example.org");
    EXPECT_EQ(list.items(),
              (std::vector<std::string>{"example.com", "ÄPFEL.de", "äpfel.de", "Example.Org"}));
}

TEST(RoutePlan, CopiesAreIndependent) {
    RoutePlan plan;
    plan.domains.append("a.com");
    RoutePlan copy = plan;
    plan.domains.append("b.com");
    plan.selected_mode = true;
    EXPECT_EQ(copy.domains.items(), std::vector<std::string>{"a.com"});
    EXPECT_FALSE(copy.selected_mode);
    EXPECT_EQ(RoutePlan{}, RoutePlan{});
}

} // namespace
} // namespace kest::config
