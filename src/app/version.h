#pragma once

// Shown in the splash, the about box, the user's settings record and handed
// to the update tool.
inline constexpr char kProductName[] = "Quillora";
inline constexpr char kProductVersion[] = "2.1.2.367";
inline constexpr char kOrganizationName[] = "FennVideo";

// The maker's home page, opened by the support and home-page entries.
inline constexpr char kHomePageUrl[] = "https://www.quillora.example/";
