# Writes the built-in root certificates as a C++ source, in the layout of the
# public PEM extract of the Mozilla root store: "##" comment lines, then per
# certificate its name, a "=" underline as long as the name, the PEM block and
# an empty line. The certificates come from Debian's ca-certificates data.
#
#   cmake -DCERT_DIR=<dir of *.crt> -DFALLBACK_BUNDLE=<pem file> -DOUTPUT=<file.cpp> -P GenerateCaBundle.cmake

set(pem_re "-----BEGIN CERTIFICATE-----[^-]+-----END CERTIFICATE-----")

set(entries "")
file(GLOB certs "${CERT_DIR}/*.crt")
list(SORT certs)
foreach(cert IN LISTS certs)
    get_filename_component(name "${cert}" NAME)
    string(REGEX REPLACE "\\.crt$" "" name "${name}")
    string(REPLACE "_" " " name "${name}")
    file(READ "${cert}" content)
    string(REGEX MATCH "${pem_re}" pem "${content}")
    if(pem)
        list(APPEND entries "${name}")
        set("pem_${name}" "${pem}")
    endif()
endforeach()

if(NOT entries AND EXISTS "${FALLBACK_BUNDLE}")
    file(READ "${FALLBACK_BUNDLE}" content)
    string(REGEX MATCHALL "${pem_re}" blocks "${content}")
    set(index 0)
    foreach(pem IN LISTS blocks)
        math(EXPR index "${index} + 1")
        list(APPEND entries "Root certificate ${index}")
        set("pem_Root certificate ${index}" "${pem}")
    endforeach()
endif()

list(LENGTH entries count)
set(text "##\n## Public root certificates (${count}), from the Mozilla root store as Debian ships it\n## (ca-certificates).\n##\n\n")
set(source "// Generated at build time from the system's root certificates; do not edit.\n")
string(APPEND source "#include \"QFileDownloader.h\"\n\nnamespace {\n\nconst char bundle[] =\n")
string(APPEND source "    R\"PEM(${text})PEM\"\n")
foreach(name IN LISTS entries)
    string(LENGTH "${name}" length)
    string(REPEAT "=" ${length} underline)
    string(APPEND source "    R\"PEM(${name}\n${underline}\n${pem_${name}}\n\n)PEM\"\n")
endforeach()
string(APPEND source ";\n\n} // namespace\n\nstd::pair<const char*, std::size_t> caBundlePem()\n{\n    return {bundle, sizeof bundle};\n}\n")

# Rewrite only on a change, so an unchanged store does not rebuild the library.
set(old "")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL source)
    file(WRITE "${OUTPUT}" "${source}")
endif()
