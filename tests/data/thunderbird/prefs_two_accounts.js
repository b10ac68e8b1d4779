// Mozilla User Preferences

user_pref("mail.account.account1.server", "server1");
user_pref("mail.account.account2.identities", "id1");
user_pref("mail.account.account2.server", "server2");
user_pref("mail.accountmanager.accounts", "account1,account2");
user_pref("mail.accountmanager.defaultaccount", "account2");
user_pref("mail.identity.id1.fullName", "Jane Doe");
user_pref("mail.identity.id1.smtpServer", "smtp1");
user_pref("mail.identity.id1.useremail", "jane@example.com");
user_pref("mail.server.server1.type", "none");
user_pref("mail.server.server2.hostname", "pop.example.com");
user_pref("mail.server.server2.name", "jane@example.com");
user_pref("mail.server.server2.type", "pop3");
user_pref("mail.server.server2.userName", "jane");
user_pref("mail.smtpserver.smtp1.hostname", "smtp.example.com");
user_pref("mail.smtpservers", "smtp1");
