// Mozilla User Preferences

user_pref("mail.account.account1.identities", "id1");
user_pref("mail.account.account1.server", "server1");
user_pref("mail.account.account2.server", "server2");
user_pref("mail.accountmanager.accounts", "account1,account2");
user_pref("mail.accountmanager.defaultaccount", "account1");
user_pref("mail.identity.id1.fullName", "Jane Doe");
user_pref("mail.identity.id1.smtpServer", "smtp1");
user_pref("mail.identity.id1.useremail", "jane@example.com");
user_pref("mail.server.server1.hostname", "pop.isp.example");
user_pref("mail.server.server1.port", 110);
user_pref("mail.server.server1.type", "pop3");
user_pref("mail.server.server1.userName", "jane");
user_pref("mail.server.server2.type", "none");
user_pref("mail.smtp.defaultserver", "smtp1");
user_pref("mail.smtpserver.smtp1.hostname", "smtp.isp.example");
user_pref("mail.smtpserver.smtp1.username", "jane");
user_pref("mail.smtpservers", "smtp1");
user_pref("network.proxy.type", 0);
ÿ