// Texts of the web service: where the manager asks, what it calls itself,
// the lines its replies carry, and what the download shows.
#pragma once

const char* const ServiceUserAgent = "Tessaron1.05";
const char* const ProxyListPath = "/app/proxylist.php";
const char* const VersionPath = "/app/version.php?ver=3";

// The first line of each reply; anything else is not the service's answer.
const char* const ProxyListMarker = "TESSARONLIST";
const char* const VersionMarker = "TESSARONVERSION";

// The proxy list: a line "END" ends it; lines starting with '-' name the
// type of the server lines after them.
const char* const ListEndLine = "END";
const char SectionLead = '-';
const char* const HttpSectionLine = "-HTTP";
const char* const SocksSectionLine = "-SOCKS";

// The version reply: message lines beginning with this are left out.
const char* const MessageSkipPrefix = "END";

// The download's status bar part 0, its dialog and the outcome.
const char* const DownloadStatusText = "Downloading Proxy List...";
const char* const DownloadingText = "Downloading Proxy list";
const char* const DownloadCompleteText = "Download Complete";
const char* const DownloadErrorText = "Error downloading list";
const char* const NewProxiesFormat = "New Proxies found: %d";
const char* const OfferCloseText = "Close";

// The only links the offer opens: web addresses, in lower case here.
const char* const WebLinkSchemes[] = {"http://", "https://"};

// The version this manager is; the service offers anything newer.
const int OwnVersion = 3;
