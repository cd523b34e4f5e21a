# The decoders against the shared corpus of public pictures and their expected pixels.
if(EXISTS ${VISTREL_SHARED_DIR}/tools/corpus-check AND TARGET vistrel-decode)
    set(corpusArgs)
    if(VISTREL_SANITIZE)
        # AddressSanitizer reserves far more address space than the default cap allows.
        list(APPEND corpusArgs --mem-mb 0 --timeout 60)
    endif()
    add_test(NAME corpus_check
             COMMAND python3 ${VISTREL_SHARED_DIR}/tools/corpus-check
                     --decoder "$<TARGET_FILE:vistrel-decode> {in} {out}"
                     --kinds Bmp,Jpeg,Png,Gif,Icon,Cursor,Pcx8,Pcx1,none ${corpusArgs}
                     ${VISTREL_SHARED_DIR}/corpus/MANIFEST.tsv)
    set_tests_properties(corpus_check PROPERTIES TIMEOUT 900)
endif()
