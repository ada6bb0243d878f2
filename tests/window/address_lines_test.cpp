#include "manager/window/address_lines.h"

#include <gtest/gtest.h>

#include "manager/catalogue/proxy_catalogue.h"

class AddressLinesTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCatalogue(&catalogue, nullptr);
        for (const char* address : {"a:1", "b:2", "c:3"}) AddServerRow(&catalogue, NewSlot, address, Http, StatusCodeUntested);
    }
    ProxyCatalogue catalogue;
};

TEST_F(AddressLinesTest, EachAddressEndsWithCrLfAndNothingElseIsWritten) {
    EXPECT_EQ(AddressLines(catalogue.lists[NewSlot]), "a:1\r\nb:2\r\nc:3\r\n");
    EXPECT_EQ(AddressLines(catalogue.lists[MyProxyServersSlot]), "");
}

TEST_F(AddressLinesTest, ChosenRowsComeInTheOrderGivenAndMissingRowsArePassedOver) {
    EXPECT_EQ(AddressLines(catalogue.lists[NewSlot], {0, 2}), "a:1\r\nc:3\r\n");
    EXPECT_EQ(AddressLines(catalogue.lists[NewSlot], {2, -1, 7, 1}), "c:3\r\nb:2\r\n");
    EXPECT_EQ(AddressLines(catalogue.lists[NewSlot], {}), "");
}
