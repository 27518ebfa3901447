# The test suites that run a second time on the PostgreSQL server: every
# suite whose tests go through TempDatabase and the component's SQL. A new
# database-facing suite belongs in this list.
set(NOXPLZ_SERVER_SUITES_LIST
    PlaceLookupTest StreetLookupTest HostLookupTest HostAddressCheckTest ListFillerTest ChoiceDialogTest
    BoundQueryTest FieldTextTest
    BuiltinProviderTest PlzManagerTest
    SearchScenario SearchDialogScenario FrmPlzTest
    ImportScenario */GeneratedImport AtomicImport */OldDataKept ImportDialogTest Verification)
list(TRANSFORM NOXPLZ_SERVER_SUITES_LIST APPEND ".*")
string(JOIN ":" NOXPLZ_SERVER_SUITES ${NOXPLZ_SERVER_SUITES_LIST})
