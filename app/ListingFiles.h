// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The offline files of cache listings under the map folder:
//   offline/inc/<last character of the code>/<code>-<file>   listing images
//   offline/img/<file>                                       smileys (icon_smile…)
//   offline/cache/<last character>/<code>.htm                a saved copy of the web page
//   attach/<last character>/<code>/                          files attached to the cache
// and how a page's remote images are mapped to them and queued for download.
namespace tw::listing {

class ImagePrefetch;

/** Codes name folders and files: letters and digits only. */
bool isSafeCode(std::string_view code);
/** A file name taken from an image address: not empty, not "." or "..", no
 *  path separator, NUL or control character, at most 200 bytes. */
bool isSafeFileName(std::string_view name);
/** An image address the downloader may fetch: http:// or https:// (any
 *  case) with a host, and no blank, quote, angle bracket or control
 *  character. */
bool isFetchableUrl(std::string_view url);

std::filesystem::path offlineFolder(const std::filesystem::path& mapFolder);
/** Where the image file of a listing lives; the smiley folder for names
 *  that begin with "icon_smile". Empty for an unsafe code or name. */
std::filesystem::path localImagePath(const std::filesystem::path& mapFolder, std::string_view code,
                                     std::string_view fileName);
/** Where the image at a web address (http or https) is kept offline: the
 *  local file of its last path part. Empty for any other address and where
 *  localImagePath is empty. Whether the file exists is not asked. */
std::filesystem::path localImageOf(const std::filesystem::path& mapFolder, std::string_view code,
                                   std::string_view url);
/** Empty for an unsafe code. */
std::filesystem::path offlineCopyPath(const std::filesystem::path& mapFolder, std::string_view code);
std::filesystem::path attachmentFolder(const std::filesystem::path& mapFolder, std::string_view code);
/** Names of the files (not folders) in the cache's attachment folder, sorted;
 *  empty when there is no such folder. */
std::vector<std::string> attachmentFiles(const std::filesystem::path& mapFolder, std::string_view code);

/** True when path, with links and ".." resolved, lies inside the offline
 *  folder of the map folder. */
bool isOfflineFile(const std::filesystem::path& mapFolder, const std::filesystem::path& path);
/** "file://" and the absolute path, percent-encoded so that it is safe inside
 *  an HTML attribute. */
std::string fileUrl(const std::filesystem::path& path);

struct RewrittenPage {
    std::string html;
    int missing = 0; // images whose local file does not exist (yet)
    int awaited = 0; // of those, the ones asked of the downloader
};

/** Every "<img>" tag of the page: one whose src is an http or https address
 *  gets the local file in its place (see localImagePath); any other is
 *  removed, so the page never refers to anything outside the offline
 *  folders. A missing file whose name holds none of \ / : * ? " < > | is
 *  asked of prefetch (null when downloads are off). */
RewrittenPage rewriteImages(std::string_view html, const std::filesystem::path& mapFolder, std::string_view code,
                            ImagePrefetch* prefetch);

} // namespace tw::listing
